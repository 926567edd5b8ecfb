#include "render/PostProcessing.h"

#include "files/Files.h"
#include "render/RenderTarget.h"
#include "render/Shader.h"

#include <epoxy/gl.h>
#include <glm/glm.hpp>

#include <cstring>

namespace {

const glm::vec3 outlineColor(0.0f);

// The upscaled mark, in [0, 1], above which a window pixel is outline: a line one scene pixel
// wide stays about that wide, with hard edges.
constexpr float markThreshold = 0.5f;

// The main pass's image and its depths.
const TargetImage sceneColor{GL_RGB, GL_RGB, GL_UNSIGNED_BYTE, GL_COLOR_ATTACHMENT0, GL_LINEAR};
// The outline's gathers read past the border pixels: they must see the border again.
const TargetImage sceneDepth{GL_DEPTH_COMPONENT24, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, GL_DEPTH_ATTACHMENT,
                             GL_NEAREST, GL_CLAMP_TO_EDGE};
// The outlined image with the marks in its alpha, filtered when it is brought to the window.
const TargetImage markedImage{GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, GL_COLOR_ATTACHMENT0, GL_LINEAR, GL_CLAMP_TO_EDGE};

constexpr float screenQuad[24] = {
    -1.0f, 1.0f, 0.0f, 1.0f, -1.0f, -1.0f, 0.0f, 0.0f, 1.0f, -1.0f, 1.0f, 0.0f,
    -1.0f, 1.0f, 0.0f, 1.0f, 1.0f,  -1.0f, 1.0f, 0.0f, 1.0f, 1.0f,  1.0f, 1.0f,
};

} // namespace

PostProcessing::PostProcessing()
{
    std::memcpy(quadVertices, screenQuad, sizeof quadVertices);
}

void PostProcessing::release()
{
    for (std::uint32_t* target : {&framebuffer, &markedFramebuffer})
        deleteFramebuffer(*target);
    for (std::uint32_t* texture : {&colorTexture, &depthTexture, &markedTexture})
        deleteTexture(*texture);
    if (quadVbo != 0)
        glDeleteBuffers(1, &quadVbo);
    if (quadVao != 0)
        glDeleteVertexArrays(1, &quadVao);
    quadVbo = quadVao = 0;
}

void PostProcessing::initialize(const RenderSettings& settings)
{
    release();
    edgeShader = getShader(SHADER_PP_EDGE);
    if (!upscaleShader)
        upscaleShader =
            std::make_shared<Shader>(assetPath("shaders/pp/pp_edge.vert"), assetPath("shaders/pp/pp_upscale.frag"));
    cameraNear = settings.cameraNear;
    cameraFar = settings.cameraFar;

    if (edgeShader) {
        glUseProgram(edgeShader->programId);
        edgeShader->setInt("colorTex", 0);
        edgeShader->setInt("depthTex", 1);
    }

    glGenVertexArrays(1, &quadVao);
    glGenBuffers(1, &quadVbo);
    glBindBuffer(GL_ARRAY_BUFFER, quadVbo);
    glBufferData(GL_ARRAY_BUFFER, sizeof quadVertices, quadVertices, GL_STATIC_DRAW);
    glBindVertexArray(quadVao);
    glBindBuffer(GL_ARRAY_BUFFER, quadVbo);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 4 * sizeof(float), nullptr);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, 4 * sizeof(float), reinterpret_cast<void*>(2 * sizeof(float)));
    glEnableVertexAttribArray(1);
    glBindVertexArray(0);

    if (!scaledPassesReady) {
        // The driver makes its code for a program's draws the first time they are drawn: once
        // here, into a few pixels, so the first frame below a scale of 1 does not wait for it.
        // Sizes that are not powers of two, as the real ones are: the driver's code differs.
        createTargets(glm::ivec2(3), glm::ivec2(5));
        draw();
        deleteFramebuffer(framebuffer);
        deleteFramebuffer(markedFramebuffer);
        for (std::uint32_t* texture : {&colorTexture, &depthTexture, &markedTexture})
            deleteTexture(*texture);
        scaledPassesReady = true;
    }
    if (!createTargets(sceneSize(settings), glm::ivec2(settings.width, settings.height)))
        logMessage("PostProcessing::initialize: framebuffer is not complete");
}

bool PostProcessing::createTargets(glm::ivec2 scene, glm::ivec2 window)
{
    width = scene.x;
    height = scene.y;
    windowWidth = window.x;
    windowHeight = window.y;

    framebuffer = createFramebuffer();
    colorTexture = attachNewTexture(sceneColor, width, height);
    depthTexture = attachNewTexture(sceneDepth, width, height);
    bool complete = framebufferComplete();
    if (scene != window) {
        markedFramebuffer = createFramebuffer();
        markedTexture = attachNewTexture(markedImage, width, height);
        complete = complete && framebufferComplete();
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    return complete;
}

void PostProcessing::bindTarget(bool wireframe)
{
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glEnable(GL_DEPTH_TEST);
    glClearColor(0.2f, 0.2f, 0.2f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glViewport(0, 0, width, height);
    glPolygonMode(GL_FRONT_AND_BACK, wireframe ? GL_LINE : GL_FILL);
}

void PostProcessing::draw()
{
    glDisable(GL_DEPTH_TEST);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    const bool scaled = markedFramebuffer != 0;
    glBindFramebuffer(GL_FRAMEBUFFER, scaled ? markedFramebuffer : 0);
    glViewport(0, 0, width, height);
    if (!scaled) {
        glClearColor(0.2f, 0.2f, 0.2f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }

    if (edgeShader) {
        glUseProgram(edgeShader->programId);
        // The samplers too: a reload (F5) gives the program fresh uniforms.
        edgeShader->setInt("colorTex", 0);
        edgeShader->setInt("depthTex", 1);
        edgeShader->setInt("markOnly", scaled ? 1 : 0);
        edgeShader->setVec3("outlineColor", outlineColor);
        edgeShader->setFloat("near", cameraNear);
        edgeShader->setFloat("far", cameraFar);

        glBindVertexArray(quadVao);
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, colorTexture);
        glActiveTexture(GL_TEXTURE1);
        glBindTexture(GL_TEXTURE_2D, depthTexture);
        glDrawArrays(GL_TRIANGLES, 0, 6);
    }
    if (!scaled) {
        glBindVertexArray(0);
        return;
    }

    // Every window pixel is drawn: no clear needed.
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, windowWidth, windowHeight);
    // F5 rebuilds the outline program: this one follows.
    if (edgeShader && edgeShader->loadCount != upscaleLoads) {
        if (upscaleLoads != 0)
            upscaleShader->load();
        upscaleLoads = edgeShader->loadCount;
    }
    if (!edgeShader || !upscaleShader->linked) {
        glClearColor(0.2f, 0.2f, 0.2f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glBindVertexArray(0);
        return;
    }
    glUseProgram(upscaleShader->programId);
    upscaleShader->setInt("markedTex", 0);
    upscaleShader->setVec3("outlineColor", outlineColor);
    upscaleShader->setFloat("markThreshold", markThreshold);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, markedTexture);
    glDrawArrays(GL_TRIANGLES, 0, 6);
    glBindVertexArray(0);
}
