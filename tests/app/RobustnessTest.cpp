#include "app/Game.h"
#include "files/Config.h"
#include "input/GameInput.h"
#include "physics/PhysicsEngine.h"
#include "physics/Player.h"
#include "render/Model.h"
#include "support/TestSupport.h"
#include "world/SegmentManager.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

// The real game on a sandbox copy of the assets that the test may damage first.
class RobustnessTest : public ::testing::Test {
protected:
    // Starts the game with its world; returns what start-up printed.
    std::string start()
    {
        std::string out;
        EXPECT_TRUE(real.start(out)) << out;
        return out;
    }

    void frames(int count, float dt = 1.0f / 30.0f)
    {
        for (int i = 0; i < count; ++i) {
            game.step(dt);
            game.render();
        }
    }

    testkit::SandboxGame real;
    testkit::AssetSandbox& sandbox = real.sandbox;
    Game& game = real.game;
};

TEST_F(RobustnessTest, MissingAndCorruptModelsAndAMissingTextureAreReportedAndPlayGoesOn)
{
    fs::remove(sandbox.assets() / "models/world/tree.gltf");
    sandbox.write("models/world/butterfly.gltf", "{ this is not a model \x01\x02\x03");
    fs::remove(sandbox.assets() / "models/dummy/floor_moss.png");

    const std::string out = start();
    EXPECT_NE(out.find("ERROR - ASSIMP: "), std::string::npos) << out;
    EXPECT_NE(out.find("ERROR - failed to load texture: ../../assets/models/dummy/floor_moss.png"), std::string::npos)
        << out;
    EXPECT_FALSE(getModel(MODEL_TREE)->loaded);
    EXPECT_FALSE(getModel(MODEL_BUTTERFLY)->loaded);
    EXPECT_TRUE(getModel(MODEL_FLOOR)->loaded);

    frames(20);
    EXPECT_TRUE(getModel(MODEL_TREE)->modelMatrices.empty()) << "a failed model's instances are dropped every frame";
    EXPECT_EQ(game.world()->player->wingAngle, 0.0f) << "no wings to flap";
    EXPECT_FALSE(glfwWindowShouldClose(game.window));
}

TEST_F(RobustnessTest, AMissingFontLeavesTheTextOutAndTheGameRunning)
{
    fs::remove(sandbox.assets() / "fonts/OratorStd.otf");
    const std::string out = start();
    EXPECT_NE(out.find("ERROR::FREETYPE: Failed to load font"), std::string::npos) << out;
    EXPECT_TRUE(game.hud.text->characters.empty());
    const float timeBefore = game.world()->player->remainingTime;
    ::testing::internal::CaptureStdout();
    frames(5);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "") << "told once at start-up, not every frame";
    EXPECT_LT(game.world()->player->remainingTime, timeBefore) << "play goes on";
    EXPECT_FALSE(glfwWindowShouldClose(game.window));
}

TEST_F(RobustnessTest, AFiveSecondFrameCostsAQuarterSecondOfPlayAndKeepsTheWorldInOrder)
{
    start();
    frames(3);
    const int stepsBefore = static_cast<int>(game.world()->physics->stepCount());
    const float timeBefore = game.world()->player->remainingTime;
    const float levelTimerBefore = game.world()->levelTimer;
    frames(1, 5.0f); // the process was stopped, or the laptop slept
    EXPECT_NEAR(timeBefore - game.world()->player->remainingTime, maxUpdateTime, 1e-4f) << "a hitch does not eat the clock";
    EXPECT_NEAR(game.world()->levelTimer - levelTimerBefore, maxUpdateTime, 1e-4f);
    EXPECT_EQ(game.hud.fps, 0) << "the frame rate shown is the real one: one frame in five seconds";
    EXPECT_EQ(static_cast<int>(game.world()->physics->stepCount()), stepsBefore + 6) << "a tenth of a second is simulated";
    EXPECT_LE(game.world()->physics->accumulator, 0.1f + 1e-4f) << "the backlog is capped";
    frames(10);
    EXPECT_GE(game.world()->player->getPosition().x, -260.0f - 1.0f);
    EXPECT_LE(game.world()->player->getPosition().x, 540.0f + 260.0f);
}

TEST_F(RobustnessTest, FocusLostAndRegained)
{
    start();
    frames(2);
    // Every reload of this file prints one line, so the output counts the reloads.
    sandbox.write("config.txt", "fov = nine ty\n");
    game.world()->input->keyStates[GLFW_KEY_F4] = KEY_RELEASED;
    Game::onWindowFocus(game.window, GLFW_FALSE);
    ::testing::internal::CaptureStdout();
    frames(5);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_LE(std::count(out.begin(), out.end(), '\n'), 1) << "a release is never acted upon again:\n" << out;
    EXPECT_EQ(game.world()->input->state(GLFW_KEY_F4), KEY_UP);
    EXPECT_DOUBLE_EQ(game.world()->input->mouseDeltaX, 0.0) << "no stale mouse motion while away";

    // Away from the window the game paused; back, and out of the pause menu, play samples again.
    ASSERT_TRUE(game.paused);
    Game::onWindowFocus(game.window, GLFW_TRUE);
    game.world()->input->keyStates[GLFW_KEY_W] = KEY_HELD;
    game.screens.pop();
    frames(1);
    EXPECT_EQ(game.world()->input->state(GLFW_KEY_W), KEY_RELEASED) << "sampling resumes with focus";
}

TEST_F(RobustnessTest, AMinimisedWindowKeepsDrawingSafely)
{
    start();
    frames(2);
    Game::onFramebufferSize(game.window, 0, 0);
    frames(3);
    EXPECT_TRUE(game.framebufferResized);
    Game::onFramebufferSize(game.window, 1000, 750);
    frames(1);
    EXPECT_FALSE(game.framebufferResized);
}

TEST_F(RobustnessTest, AnUnusableWindowSizeOnReloadKeepsTheWindowAsItIs)
{
    start();
    frames(1);
    sandbox.write("config.txt", "window_width = 0\nwindow_height = -5\nfov = 70\n");
    game.world()->input->keyStates[GLFW_KEY_F4] = KEY_HELD; // let go at this frame's sample
    ::testing::internal::CaptureStdout();
    frames(1);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("is not usable; the window keeps its size"), std::string::npos) << out;
    EXPECT_FLOAT_EQ(window_width, 1000.0f);
    EXPECT_FLOAT_EQ(window_height, 750.0f);
    EXPECT_FLOAT_EQ(fov, 70.0f) << "the rest of the file still applies";
}

} // namespace
