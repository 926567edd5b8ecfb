#include "app/Config.h"
#include "app/Game.h"
#include "app/GameInput.h"
#include "support/TestSupport.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>

namespace {

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override { resetSettings(); }
    void TearDown() override
    {
        activeGame = nullptr;
        resetSettings();
    }
};

TEST_F(StartupTest, InitializesRunsFramesAndClosesOnRequest)
{
    Game game;
    activeGame = &game;
    ASSERT_TRUE(game.initialize("Quillfen test"));
    ASSERT_NE(game.window, nullptr);
    ASSERT_NE(game.input, nullptr);
    EXPECT_EQ(game.light.position, lightPosition);

    game.lastFrameTime = static_cast<float>(glfwGetTime());
    for (int i = 0; i < 5; ++i)
        game.frame();
    EXPECT_GE(game.deltaTime, 0.0f);

    glfwSetWindowShouldClose(game.window, GLFW_TRUE);
    game.run();
    EXPECT_EQ(game.window, nullptr);
}

TEST_F(StartupTest, ZeroSizedFramebufferKeepsTheTargetsUntilItIsBack)
{
    Game game;
    activeGame = &game;
    ASSERT_TRUE(game.initialize("Quillfen test"));
    game.lastFrameTime = static_cast<float>(glfwGetTime());

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
    activeGame = &game;
    ASSERT_TRUE(game.initialize("Quillfen test"));
    game.input->keyStates[GLFW_KEY_F4] = KEY_RELEASED;
    Game::onWindowFocus(game.window, 0);
    game.update();
    EXPECT_EQ(game.input->state(GLFW_KEY_F4), KEY_UP);
    glfwSetWindowShouldClose(game.window, GLFW_TRUE);
    game.run();
}

TEST_F(StartupTest, ZeroWindowWidthFailsWithTheWindowMessage)
{
    testkit::AssetSandbox sandbox;
    sandbox.write("config.txt", "window_width=0\n");
    Game game;
    activeGame = &game;
    ::testing::internal::CaptureStdout();
    const bool started = game.initialize("Quillfen test");
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_FALSE(started);
    EXPECT_NE(out.find("failed to create glfw window\n"), std::string::npos) << out;
}

TEST_F(StartupTest, TheGameExitsWithFailureWhenStartUpFails)
{
    const std::filesystem::path executable = std::filesystem::current_path() / "quillfen";
    ASSERT_TRUE(std::filesystem::exists(executable));
    testkit::AssetSandbox sandbox;
    sandbox.write("config.txt", "window_width=0\n");
    const std::string log = (sandbox.root / "out.txt").string();
    const int status = std::system((executable.string() + " > " + log + " 2>&1").c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_NE(WEXITSTATUS(status), 0);
    std::ifstream in(log);
    const std::string out((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(out.find("failed to create glfw window"), std::string::npos) << out;
}

} // namespace
