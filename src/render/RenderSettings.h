#pragma once

#include <glm/glm.hpp>

// What the render passes take from the game, handed in when their targets are (re)made:
// rendering reads no game settings of its own.
struct RenderSettings {
    // The framebuffer the frame is drawn for, in pixels.
    int width = 1;
    int height = 1;
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
