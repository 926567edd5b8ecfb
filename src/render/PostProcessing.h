#pragma once

#include "render/RenderSettings.h"

#include <cstdint>
#include <memory>

class Shader;

// Off-screen target of the main pass, and the outline pass that brings it to the window.
//
// Below a render scale of 1 the outline pass runs twice: at the scene's size it marks the
// outlined pixels in the alpha of an image target, and at the window's size it upscales that
// image with linear filtering and paints black wherever the filtered mark passes a threshold.
// The outlines are thus hard-edged lines at the window's resolution over a smoothly upscaled
// picture, and only the cheap second half of the pass runs for every window pixel.
class PostProcessing {
public:
    PostProcessing();

    // (Re)creates the targets at the scene's size (see sceneSize) and the quad, releasing the
    // previous ones.
    void initialize(const RenderSettings& settings);
    // Makes the off-screen target current for the main pass: cleared, sized, fill or wireframe.
    void bindTarget(bool wireframe);
    // Draws the outlined image into the window, filling it; the viewport is left at the window's size.
    void draw();

    std::uint32_t colorTexture = 0;
    std::uint32_t depthTexture = 0;
    std::uint32_t framebuffer = 0;
    // The outlined image with its marks, at the scene's size; only below a scale of 1.
    std::uint32_t markedTexture = 0;
    std::uint32_t markedFramebuffer = 0;
    std::uint32_t quadVao = 0;
    std::uint32_t quadVbo = 0;
    std::shared_ptr<Shader> edgeShader;
    // Brings the marked image to the window; rebuilt whenever the outline program is (F5).
    std::shared_ptr<Shader> upscaleShader;
    std::uint32_t upscaleLoads = 0;
    // Two triangles over the screen, (x, y, u, v) each.
    float quadVertices[24];
    // Size of the targets, and of the window they are drawn to, as made by the last initialize.
    int width = 0;
    int height = 0;
    int windowWidth = 0;
    int windowHeight = 0;
    // The camera's planes the depth target is drawn with, as handed to the last initialize.
    float cameraNear = 0.0f;
    float cameraFar = 0.0f;

private:
    void release();
    // The targets for a scene and a window of these sizes, the marked image only where they
    // differ; false if one cannot be drawn into.
    bool createTargets(glm::ivec2 scene, glm::ivec2 window);
    // The passes below a scale of 1 have been drawn once (see initialize).
    bool scaledPassesReady = false;
};
