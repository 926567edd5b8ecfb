#include "render/Shadows.h"

#include "files/Files.h"
#include "render/Model.h"
#include "render/RenderTarget.h"
#include "render/Shader.h"

#include <epoxy/gl.h>
#include <glm/gtc/matrix_transform.hpp>

#include <algorithm>
#include <cmath>
#include <string>
#include <limits>

namespace {

constexpr float lightHalfExtent = 500.0f;
constexpr float lightNear = 0.1f;
// Texels around the camera's footprint that a lit fragment may still read: its lookup is
// offset by up to a texel along the normal, and the filter takes the next texel on each side.
constexpr int readMargin = 8;

const TargetImage depthImage{GL_DEPTH_COMPONENT24, GL_DEPTH_COMPONENT, GL_FLOAT, GL_DEPTH_ATTACHMENT, GL_NEAREST,
                             GL_CLAMP_TO_BORDER};

} // namespace

void Shadows::initialize(const RenderSettings& settings)
{
    for (std::uint32_t* target : {&framebuffer, &cacheFramebuffer})
        deleteFramebuffer(*target);
    for (std::uint32_t* texture : {&depthTexture, &cacheTexture})
        deleteTexture(*texture);

    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    const glm::ivec2 size = shadowMapSize(static_cast<float>(settings.width), static_cast<float>(settings.height),
                                          settings.shadowFactor, settings.fallbackShadowFactor, largest);
    width = size.x;
    height = size.y;

    bool complete = true;
    framebuffer = createDepthTarget(depthTexture, complete);
    // The lit programs let the sampler compare: one lookup tests the four texels around a point
    // and blends the results by its place between them.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_REF_TO_TEXTURE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);
    cacheFramebuffer = createDepthTarget(cacheTexture, complete);
    if (!complete)
        logMessage("Shadows::initialize: framebuffer is not complete");
    cacheValid = false;

    // Deep enough to reach the far end of the ring from the light.
    const float depth = glm::length(glm::vec3(settings.worldLength, 0.0f, 0.0f) - settings.lightPosition);
    lightProjection = glm::ortho(-lightHalfExtent, lightHalfExtent, -lightHalfExtent, lightHalfExtent, lightNear, depth);
}

std::uint32_t Shadows::createDepthTarget(std::uint32_t& texture, bool& complete) const
{
    const std::uint32_t target = createFramebuffer();
    texture = attachNewTexture(depthImage, width, height);
    // Outside the map everything reads as the far plane: unshadowed.
    const float border[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    glTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, border);
    complete = complete && framebufferComplete();

    glDrawBuffer(GL_NONE);
    glReadBuffer(GL_NONE);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    // The texture stays bound for the caller's parameters.
    return target;
}

void Shadows::drawDepthPass(glm::vec3 lightPos)
{
    const glm::mat4 lightView = glm::lookAt(lightPos, glm::vec3(0.0f), glm::vec3(0.0f, 0.0f, 1.0f));
    lightPvMatrix = lightProjection * lightView;

    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glEnable(GL_DEPTH_TEST);
    glClearColor(0.2f, 0.2f, 0.2f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glViewport(0, 0, width, height);

    // Culling stays off: open meshes such as the floor's top must still cast and receive.
    glCullFace(GL_FRONT);
    Shader::renderDepth(lightPvMatrix);
    glCullFace(GL_BACK);
}

void Shadows::drawDepthPass(glm::vec3 lightPos, const glm::mat4& cameraViewProjection)
{
    const glm::mat4 lightView = glm::lookAt(lightPos, glm::vec3(0.0f), glm::vec3(0.0f, 0.0f, 1.0f));
    lightPvMatrix = lightProjection * lightView;
    const glm::ivec4 area = readableArea(cameraViewProjection);
    refreshCache();

    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glEnable(GL_DEPTH_TEST);
    glViewport(0, 0, width, height);
    // The scissor bounds the clear and every draw; the texels outside keep older depths that no
    // fragment in view reads.
    glEnable(GL_SCISSOR_TEST);
    glScissor(area.x, area.y, area.z, area.w);
    if (cacheValid && area.z > 0 && area.w > 0) {
        // The still casters' depths stand in for the clear.
        glCopyImageSubData(cacheTexture, GL_TEXTURE_2D, 0, area.x, area.y, 0, depthTexture, GL_TEXTURE_2D, 0, area.x,
                           area.y, 0, area.z, area.w, 1);
    } else {
        glClearColor(0.2f, 0.2f, 0.2f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }

    glCullFace(GL_FRONT);
    Shader::renderDepth(lightPvMatrix, cacheValid ? Shader::Casters::Uncached : Shader::Casters::All);
    glCullFace(GL_BACK);
    glDisable(GL_SCISSOR_TEST);
}

void Shadows::refreshCache()
{
    bool changed = false;
    bool anyStill = false;
    for (const auto& [key, shader] : shaderRegistry()) {
        for (Model* model : shader->models) {
            const bool still = !model->modelMatrices.empty() && model->modelMatrices == model->previousMatrices;
            // Keeps its storage: after the first frames this allocates nothing.
            model->previousMatrices.assign(model->modelMatrices.begin(), model->modelMatrices.end());
            changed = changed || still != model->inShadowCache;
            model->inShadowCache = still;
            anyStill = anyStill || still;
        }
    }
    if (!changed && cacheValid && cacheLightPv == lightPvMatrix)
        return;
    cacheValid = anyStill;
    cacheLightPv = lightPvMatrix;
    if (!cacheValid)
        return;

    glBindFramebuffer(GL_FRAMEBUFFER, cacheFramebuffer);
    glEnable(GL_DEPTH_TEST);
    glViewport(0, 0, width, height);
    glClear(GL_DEPTH_BUFFER_BIT);
    Shader::renderDepth(lightPvMatrix, Shader::Casters::Cached);
    ++cacheRedraws;
}

glm::ivec4 Shadows::readableArea(const glm::mat4& cameraViewProjection) const
{
    const glm::ivec4 whole(0, 0, width, height);
    // Corners of the camera's clip volume, carried into the light's clip space.
    const glm::mat4 cameraToLight = lightPvMatrix * glm::inverse(cameraViewProjection);
    glm::vec2 low(std::numeric_limits<float>::max());
    glm::vec2 high(std::numeric_limits<float>::lowest());
    for (int i = 0; i < 8; ++i) {
        const glm::vec4 corner((i & 1) ? 1.0f : -1.0f, (i & 2) ? 1.0f : -1.0f, (i & 4) ? 1.0f : -1.0f, 1.0f);
        const glm::vec4 p = cameraToLight * corner;
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.w) || p.w == 0.0f)
            return whole;
        // The light's projection is parallel: the convex frustum lands inside its corners' box.
        const glm::vec2 texel = (glm::vec2(p) / p.w * 0.5f + 0.5f) * glm::vec2(width, height);
        low = glm::min(low, texel);
        high = glm::max(high, texel);
    }
    const glm::vec2 size(width, height);
    low = glm::clamp(glm::floor(low) - static_cast<float>(readMargin), glm::vec2(0.0f), size);
    high = glm::clamp(glm::ceil(high) + static_cast<float>(readMargin), glm::vec2(0.0f), size);
    const glm::ivec2 from(low);
    const glm::ivec2 to(high);
    return glm::ivec4(from, to - from);
}

glm::ivec2 shadowMapSize(float windowWidth, float windowHeight, float factor, float fallbackFactor, int largest)
{
    const bool usableFactor = factor > 0.0f && std::isfinite(factor);
    // Below a quarter the shadows are blocks (and a small window gets no map at all); far above
    // the card's largest texture the sizes lose their meaning before they are shrunk.
    const float used = usableFactor ? std::clamp(factor, 0.25f, 16.0f) : fallbackFactor;
    // Single precision, truncated: 1.3 x 750 is 974.99994 and gives 974 rows.
    const glm::vec2 asked(windowWidth * used, used * windowHeight);
    const float limit = largest > 0 ? static_cast<float>(largest) + 1.0f : 1e9f;
    const bool tooLarge = !(asked.x < limit && asked.y < limit);
    glm::ivec2 size(glm::min(asked, glm::vec2(1e9f)));
    if (tooLarge && largest > 0) {
        // Shrunk to what the graphics card takes, keeping the map's shape.
        const float shrink = static_cast<float>(largest) / std::max(asked.x, asked.y);
        size = glm::clamp(glm::ivec2(asked * shrink), glm::ivec2(1), glm::ivec2(largest));
    }
    if (!usableFactor || tooLarge)
        logMessage("ERROR - shadowmap_resolution_factor " + std::to_string(factor) + " gives no usable shadow map; using "
                   + std::to_string(size.x) + " x " + std::to_string(size.y));
    return size;
}
