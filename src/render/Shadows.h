#pragma once

#include "render/RenderSettings.h"

#include <glm/glm.hpp>

#include <cstdint>

// The shadow map's size for a window and a resolution factor, which counts from 0.25 to 16. A
// factor that gives no map (0 or less) takes the fallback instead, and a map larger than the
// card's `largest` texture shrinks to fit, keeping its shape; either is reported once.
glm::ivec2 shadowMapSize(float windowWidth, float windowHeight, float factor, float fallbackFactor, int largest);

// Shadow map from the fixed light: a depth-only framebuffer sized from the window and the
// resolution factor, and the light's orthographic projection over the whole world ring.
class Shadows {
public:

    // (Re)creates the framebuffer and the map for the settings' window, releasing the previous ones.
    void initialize(const RenderSettings& settings);
    // The depth pass from the light: lightPvMatrix, target, clear, viewport, then every queued instance.
    void drawDepthPass(glm::vec3 lightPos);
    // The same, but only the part of the map that a view through cameraViewProjection can read
    // is drawn; the rest is left as it was (see readableArea). The depths of models whose
    // instances stood still since the last frame come from a cache of the whole map, drawn again
    // only when that set of models or their instances change (a refill of the ring); only the
    // moving ones (the player, the drops) are drawn every frame.
    void drawDepthPass(glm::vec3 lightPos, const glm::mat4& cameraViewProjection);
    // The texels (x, y, width, height) that the lit programs may read for fragments seen through
    // cameraViewProjection: where the camera's frustum falls in the light's view, with a margin
    // for the lookup's offset and filter. The light's projection is parallel, so a caster shadows
    // only the texel it covers: the rest of the map is never read. The whole map when unsure.
    glm::ivec4 readableArea(const glm::mat4& cameraViewProjection) const;

private:
    // Sorts the queued models into still (same instances as last frame) and moving, and redraws
    // the cache when the still ones are not the ones it holds.
    void refreshCache();
    // A depth-only framebuffer with a new map-sized texture; complete turns false if it is not.
    std::uint32_t createDepthTarget(std::uint32_t& texture, bool& complete) const;
public:

    std::uint32_t framebuffer = 0;
    std::uint32_t depthTexture = 0;
    // The depths of the still casters over the whole map; valid while cacheValid.
    std::uint32_t cacheFramebuffer = 0;
    std::uint32_t cacheTexture = 0;
    bool cacheValid = false;
    glm::mat4 cacheLightPv{1.0f};
    // How often the cache was drawn (for tests and the frame benchmark).
    std::uint64_t cacheRedraws = 0;
    glm::mat4 lightProjection{1.0f};
    glm::mat4 lightPvMatrix{1.0f};
    // Size of the map in texels, as made by the last initialize.
    int width = 0;
    int height = 0;
};
