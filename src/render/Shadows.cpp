#include "render/Shadows.h"

#include "app/Config.h"
#include "app/Game.h"
#include "render/Files.h"
#include "render/Shader.h"

#include <epoxy/gl.h>
#include <glm/gtc/matrix_transform.hpp>

namespace {

// The world ring: four segments of 200 units along +x.
constexpr float worldLength = 200.0f * 4.0f;
constexpr float lightHalfExtent = 500.0f;
constexpr float lightNear = 0.1f;

} // namespace

void Shadows::initialize()
{
    if (framebuffer != 0)
        glDeleteFramebuffers(1, &framebuffer);
    if (depthTexture != 0)
        glDeleteTextures(1, &depthTexture);

    // Single precision, truncated: 1.3 x 750 is 974.99994 and gives 974 rows.
    width = static_cast<int>(window_width * shadowmap_resolution_factor);
    height = static_cast<int>(shadowmap_resolution_factor * window_height);

    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);

    glGenTextures(1, &depthTexture);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, depthTexture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT24, width, height, 0, GL_DEPTH_COMPONENT, GL_FLOAT, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_BORDER);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_BORDER);
    // Outside the map everything reads as the far plane: unshadowed.
    const float border[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    glTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, border);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, depthTexture, 0);

    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
        logMessage("Shadows::initialize: framebuffer is not complete");

    glDrawBuffer(GL_NONE);
    glReadBuffer(GL_NONE);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);

    // Deep enough to reach the far end of the ring from the light.
    const float depth = glm::length(glm::vec3(worldLength, 0.0f, 0.0f) - lightPosition);
    lightProjection = glm::ortho(-lightHalfExtent, lightHalfExtent, -lightHalfExtent, lightHalfExtent, lightNear, depth);
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
