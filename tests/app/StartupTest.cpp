#include "app/Game.h"
#include "files/Config.h"
#include "input/GameInput.h"
#include "support/TestSupport.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <thread>

namespace {

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override { resetSettings(); }
    void TearDown() override
    {
        resetSettings();
    }
};

TEST_F(StartupTest, InitializesRunsFramesAndClosesOnRequest)
{
    Game game;
    ASSERT_TRUE(testkit::initializeGame(game));
    ASSERT_NE(game.window, nullptr);
    ASSERT_NE(game.world()->input, nullptr);
    EXPECT_EQ(game.light.position, lightPosition);

    const double start = glfwGetTime();
    game.lastFrameTime = start;
    double measured = 0.0;
    for (int i = 0; i < 5; ++i) {
        // One frame comes after a stall, as a loaded machine gives them: the world takes at most
        // maxUpdateTime of it, however slow the machine running the test is.
        if (i == 3)
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        game.frame();
        measured += game.realFrameTime;
        EXPECT_EQ(game.deltaTime, std::min(game.realFrameTime, maxUpdateTime)) << "frame " << i;
        if (i == 3) {
            EXPECT_EQ(game.deltaTime, maxUpdateTime);
        }
    }
    // The frame times are measured on one clock and add up to the time that passed.
    EXPECT_NEAR(measured, game.lastFrameTime - start, 1e-5);
    EXPECT_GE(game.lastFrameTime - start, 0.3);

    glfwSetWindowShouldClose(game.window, GLFW_TRUE);
    game.run();
    EXPECT_EQ(game.window, nullptr);
}

TEST_F(StartupTest, ZeroSizedFramebufferKeepsTheTargetsUntilItIsBack)
{
    Game game;
    ASSERT_TRUE(testkit::initializeGame(game));
    game.lastFrameTime = glfwGetTime();

    Game::onFramebufferSize(game.window, 0, 0);
    game.frame();
    EXPECT_TRUE(game.framebufferResized) << "a minimised window must not rebuild anything";

    Game::onFramebufferSize(game.window, 640, 480);
    game.update();
    game.render();
    EXPECT_FALSE(game.framebufferResized);

    glfwSetWindowShouldClose(game.window, GLFW_TRUE);
    game.run();
}

TEST_F(StartupTest, FocusLossDoesNotRepeatTheReleasedAction)
{
    Game game;
    ASSERT_TRUE(testkit::initializeGame(game));
    game.world()->input->keyStates[GLFW_KEY_F4] = KEY_RELEASED;
    Game::onWindowFocus(game.window, 0);
    game.update();
    EXPECT_EQ(game.world()->input->state(GLFW_KEY_F4), KEY_UP);
    glfwSetWindowShouldClose(game.window, GLFW_TRUE);
    game.run();
}

TEST_F(StartupTest, AWindowSizeOfZeroOrLessFailsWithTheWindowMessage)
{
    // A negative size reached GLFW as it was, which aborts the program on an assertion.
    for (const char* config : {"window_width=0\n", "window_height=-5\n", "window_width=-10000000000\n"}) {
        testkit::AssetSandbox sandbox;
        sandbox.write("config.txt", config);
        Game game;
        ::testing::internal::CaptureStdout();
        const bool started = game.initialize("Quillfen test");
        const std::string out = ::testing::internal::GetCapturedStdout();
        EXPECT_FALSE(started) << config;
        EXPECT_NE(out.find("failed to create glfw window\n"), std::string::npos) << config << out;
    }
}

// Runs the real executable from a sandbox whose config.txt is `config`, with `environment`
// put before it; returns its exit status and what it printed.
int runGame(const std::string& config, const std::string& environment, std::string& out)
{
    const std::filesystem::path executable = std::filesystem::current_path() / "quillfen";
    EXPECT_TRUE(std::filesystem::exists(executable));
    testkit::AssetSandbox sandbox;
    sandbox.copyRealAssets();
    sandbox.write("config.txt", config);
    const std::string log = (sandbox.root / "out.txt").string();
    const int status = std::system((environment + " " + executable.string() + " > " + log + " 2>&1").c_str());
    std::ifstream in(log);
    out.assign((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(StartupTest, TheGameExitsWithFailureWhenStartUpFails)
{
    std::string out;
    EXPECT_EQ(runGame("window_width=0\n", "", out), 1);
    EXPECT_NE(out.find("failed to create glfw window"), std::string::npos) << out;

    // Without a display GLFW cannot start: one message, not a cascade of GLFW errors.
    EXPECT_EQ(runGame("", "env -u DISPLAY -u WAYLAND_DISPLAY", out), 1);
    EXPECT_NE(out.find("failed to create glfw window"), std::string::npos) << out;
    EXPECT_EQ(out.find("not initialized"), std::string::npos) << out;
}

} // namespace
