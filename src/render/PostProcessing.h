#pragma once

#include "render/RenderSettings.h"

#include <cstdint>
#include <memory>

class Shader;

// Off-screen target of the main pass, and the outline pass that brings it to the window.
class PostProcessing {
public:
    PostProcessing();

    // (Re)creates the targets at the framebuffer's size and the quad, releasing the previous ones.
    void initialize(const RenderSettings& settings);
    // Makes the off-screen target current for the main pass: cleared, sized, fill or wireframe.
    void bindTarget(bool wireframe);
    // Draws the outlined image into the window.
    void draw();

    std::uint32_t colorTexture = 0;
    std::uint32_t depthTexture = 0;
    std::uint32_t framebuffer = 0;
    std::uint32_t quadVao = 0;
    std::uint32_t quadVbo = 0;
    std::shared_ptr<Shader> edgeShader;
    // Two triangles over the screen, (x, y, u, v) each.
    float quadVertices[24];
    // Size of the targets, as made by the last initialize.
    int width = 0;
    int height = 0;
    // The camera's planes the depth target is drawn with, as handed to the last initialize.
    float cameraNear = 0.0f;
    float cameraFar = 0.0f;

private:
    void release();
};
