#pragma once

#include <glm/glm.hpp>

#include <algorithm>
#include <cmath>

// What the render passes take from the game, handed in when their targets are (re)made:
// rendering reads no game settings of its own.
struct RenderSettings {
    // The framebuffer the frame is drawn for, in pixels.
    int width = 1;
    int height = 1;
    // The fraction of that width and height the 3D passes (depths, the lit image, the outline's
    // input) are drawn at, 0.5 to 1; the outlines and the HUD are drawn at the full size.
    float renderScale = 1.0f;
    // The shadow map's size per window pixel, and the factor to take when that gives no map.
    float shadowFactor = 2.0f;
    float fallbackShadowFactor = 2.0f;
    // The camera's planes: the outline pass turns stored depths back into distances with them.
    float cameraNear = 0.1f;
    float cameraFar = 300.0f;
    // The light's place and how far along +x the world reaches: the shadow map's box covers it.
    glm::vec3 lightPosition{0.0f};
    float worldLength = 0.0f;
};

// The size of the 3D passes' targets for the settings' framebuffer and render scale: the full
// size at scale 1, never less than a pixel.
inline glm::ivec2 sceneSize(const RenderSettings& settings)
{
    if (settings.renderScale >= 1.0f)
        return {settings.width, settings.height};
    return {std::max(1, static_cast<int>(std::lround(static_cast<float>(settings.width) * settings.renderScale))),
            std::max(1, static_cast<int>(std::lround(static_cast<float>(settings.height) * settings.renderScale)))};
}
