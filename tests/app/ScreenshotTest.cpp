#include "app/Game.h"
#include "app/Screenshot.h"
#include "support/TestSupport.h"

#include <epoxy/gl.h>
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>
#include <stb_image.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::vector<unsigned char> backBuffer(int width, int height)
{
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * height * 3);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

// The PNG's rows top to bottom, as RGB.
std::vector<unsigned char> loadPng(const fs::path& path, int& width, int& height)
{
    int channels = 0;
    stbi_set_flip_vertically_on_load(0);
    unsigned char* data = stbi_load(path.c_str(), &width, &height, &channels, 3);
    std::vector<unsigned char> pixels;
    if (data)
        pixels.assign(data, data + static_cast<std::size_t>(width) * height * 3);
    stbi_image_free(data);
    return pixels;
}

std::string stampIn(int seconds)
{
    const std::time_t t = std::time(nullptr) + seconds;
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

// F12 in the real game: the frame with its HUD, as large as the framebuffer, pixel for pixel;
// a file already there is never written over.
TEST(Screenshot, SavesTheDrawnFrameWithoutOverwriting)
{
    const fs::path scratch = fs::temp_directory_path() / ("quillfen-shots-" + std::to_string(::getpid()));
    fs::remove_all(scratch);
    testkit::ScopedEnv env;
    env.set("XDG_DATA_HOME", scratch.c_str());
    const fs::path folder = scratch / "quillfen" / "screenshots";
    fs::create_directories(folder);
    // Names this second and the next may be taken already.
    for (int s = 0; s <= 1; ++s)
        std::ofstream(folder / ("quillfen-" + stampIn(s) + ".png")) << "keep";

    testkit::SandboxGame sandbox;
    std::string output;
    ASSERT_TRUE(sandbox.start(output)) << output;
    Game& game = sandbox.game;
    int width = 0;
    int height = 0;
    glfwGetFramebufferSize(game.window, &width, &height);
    game.step(1.0 / 60.0);
    game.screenshotRequested = true;
    ::testing::internal::CaptureStdout();
    game.render();
    output = ::testing::internal::GetCapturedStdout();
    const std::vector<unsigned char> drawn = backBuffer(width, height);

    std::vector<fs::path> shots;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::ifstream in(entry.path());
        std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (content == "keep")
            continue;
        shots.push_back(entry.path());
    }
    ASSERT_EQ(shots.size(), 1u) << output;
    EXPECT_EQ(output, "Screenshot saved: " + shots[0].string() + "\n");
    EXPECT_EQ(shots[0].filename().string().rfind("quillfen-", 0), 0u);
    EXPECT_EQ(shots[0].extension(), ".png");

    int w = 0;
    int h = 0;
    const std::vector<unsigned char> png = loadPng(shots[0], w, h);
    ASSERT_EQ(w, width);
    ASSERT_EQ(h, height);
    // OpenGL's bottom row is the picture's last.
    std::size_t differing = 0;
    const std::size_t row = static_cast<std::size_t>(width) * 3;
    for (int y = 0; y < height; ++y)
        for (std::size_t i = 0; i < row; ++i)
            differing += png[y * row + i] != drawn[(height - 1 - y) * row + i];
    EXPECT_EQ(differing, 0u);
    // The HUD is on it: the health line's light text in the top-left corner.
    std::size_t light = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 250; ++x)
            light += png[y * row + x * 3] > 200 && png[y * row + x * 3 + 1] > 200 && png[y * row + x * 3 + 2] > 200;
    EXPECT_GT(light, 50u);

    // A window without a picture saves nothing.
    std::string error;
    EXPECT_TRUE(writeScreenshot(folder, 0, 0, error).empty());
    EXPECT_FALSE(error.empty());
    fs::remove_all(scratch);
}

} // namespace
