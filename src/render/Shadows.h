#pragma once

#include <glm/glm.hpp>

#include <cstdint>

// Shadow map from the fixed light: a depth-only framebuffer sized from the window and the
// resolution factor, and the light's orthographic projection over the whole world ring.
class Shadows {
public:
    // (Re)creates the framebuffer and the map at the current window size, releasing the previous ones.
    void initialize();
    // The depth pass from the light: lightPvMatrix, target, clear, viewport, then every queued instance.
    void drawDepthPass(glm::vec3 lightPos);

    std::uint32_t framebuffer = 0;
    std::uint32_t depthTexture = 0;
    glm::mat4 lightProjection{1.0f};
    glm::mat4 lightPvMatrix{1.0f};
    // Size of the map in texels, as made by the last initialize.
    int width = 0;
    int height = 0;
};
