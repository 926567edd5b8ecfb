#pragma once

#include <glm/glm.hpp>

#include <cstdint>

// The shadow map's size for a window and a resolution factor. A factor that gives no map takes
// the default instead, and a map larger than the card's `largest` texture shrinks to fit, keeping
// its shape; either is reported once.
glm::ivec2 shadowMapSize(float windowWidth, float windowHeight, float factor, int largest);

// Shadow map from the fixed light: a depth-only framebuffer sized from the window and the
// resolution factor, and the light's orthographic projection over the whole world ring.
class Shadows {
public:
    // (Re)creates the framebuffer and the map at the current window size, releasing the previous ones.
    void initialize();
    // The depth pass from the light: lightPvMatrix, target, clear, viewport, then every queued instance.
    void drawDepthPass(glm::vec3 lightPos);
    // The same, but only the part of the map that a view through cameraViewProjection can read
    // is cleared and drawn; the rest is left as it was (see readableArea).
    void drawDepthPass(glm::vec3 lightPos, const glm::mat4& cameraViewProjection);
    // The texels (x, y, width, height) that the lit programs may read for fragments seen through
    // cameraViewProjection: where the camera's frustum falls in the light's view, with a margin
    // for the lookup's offset and filter. The light's projection is parallel, so a caster shadows
    // only the texel it covers: the rest of the map is never read. The whole map when unsure.
    glm::ivec4 readableArea(const glm::mat4& cameraViewProjection) const;

    std::uint32_t framebuffer = 0;
    std::uint32_t depthTexture = 0;
    glm::mat4 lightProjection{1.0f};
    glm::mat4 lightPvMatrix{1.0f};
    // Size of the map in texels, as made by the last initialize.
    int width = 0;
    int height = 0;
};
