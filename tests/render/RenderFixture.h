#pragma once

#include "render/RenderSettings.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace rendertest {

// A sandbox holding the game's real assets, a current OpenGL 4.3 context, default settings
// sized to the window, and a freshly loaded shader registry.
class RenderTest : public ::testing::Test {
protected:
    explicit RenderTest(int width = 320, int height = 240, bool visible = false);
    void SetUp() override;
    void TearDown() override;
    // What the game hands its passes for the current settings (the window sized as above).
    static RenderSettings settings();

    testkit::AssetSandbox sandbox;
    std::unique_ptr<testkit::GlContext> context;
    int width;
    int height;
    bool visible;
};

// Writes an 8-bit PNG of the given channel count (rows top to bottom).
void writePng(const std::filesystem::path& path, int width, int height, int channels,
              const std::vector<unsigned char>& pixels);

// Names of live OpenGL objects among the first few thousand: a leak shows as a growing count
// even when the driver hands out freed names again.
int liveTextures();
int liveFramebuffers();
int liveBuffers();
int liveVertexArrays();

bool framebufferComplete(unsigned framebuffer);

} // namespace rendertest
