#include "input/GameInput.h"
#include "scene/Camera.h"
#include "support/GameHarness.h"
#include "ui/HUD.h"
#include "ui/PlayScreens.h"
#include "world/ParticleSystem.h"
#include "world/SegmentManager.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr float dt = 1.0f / 60.0f;

// Where every live rain drop is: falling drops move, new ones appear, old ones expire.
std::vector<glm::vec3> dropPositions(const testkit::GameHarness& h)
{
    std::vector<glm::vec3> positions;
    for (const auto& segment : h.game.world()->segmentManager->segments)
        for (const auto& drop : segment->rain->getChildren())
            positions.push_back(drop->getPosition());
    return positions;
}

// A key (or the mouse button) pressed for one frame and let go in the next.
void tap(testkit::GameHarness& h, int code)
{
    h.press(code);
    h.frame(dt);
    h.release(code);
    h.frame(dt);
}

TEST(PauseTest, NothingOfTheWorldMovesWhilePausedAndResumingAddsOnlyOneFrame)
{
    testkit::GameHarness h(true);
    h.frames(90, dt);
    h.game.world()->levelTimer = 14.9f; // a level-up is due within the paused time
    tap(h, GLFW_KEY_P);
    ASSERT_TRUE(h.game.paused);
    EXPECT_FALSE(h.keys->cursorHidden) << "the cursor is free while paused";

    const float remaining = h.player->remainingTime;
    const float levelTimer = h.game.world()->levelTimer;
    const glm::vec3 position = h.player->getPosition();
    const float wing = h.player->wingAngle;
    const std::vector<glm::vec3> drops = dropPositions(h);
    ASSERT_FALSE(drops.empty());
    h.frames(120, dt);
    EXPECT_EQ(h.player->remainingTime, remaining);
    EXPECT_EQ(h.game.world()->levelTimer, levelTimer);
    EXPECT_EQ(h.player->level, 0);
    EXPECT_EQ(h.player->getPosition(), position);
    EXPECT_EQ(h.player->wingAngle, wing);
    EXPECT_EQ(dropPositions(h), drops);

    // The player wanders off with the mouse while paused, then resumes.
    h.keys->cursorX = 20.0;
    h.keys->cursorY = 700.0;
    const glm::vec3 angles = h.player->cameraController->getRotation();
    h.press(GLFW_KEY_P);
    h.frame(dt);
    EXPECT_TRUE(h.game.paused) << "P resumes when it is let go";
    h.release(GLFW_KEY_P);
    h.frame(dt);
    EXPECT_FALSE(h.game.paused);
    EXPECT_EQ(h.player->remainingTime, remaining) << "the frame that resumes moves nothing yet";
    h.frame(dt);
    EXPECT_TRUE(h.keys->cursorHidden);
    EXPECT_FLOAT_EQ(h.player->remainingTime, remaining - dt) << "the paused seconds are not spent";
    EXPECT_FLOAT_EQ(h.game.world()->levelTimer, levelTimer + dt);
    h.frame(dt);
    EXPECT_EQ(h.player->cameraController->getRotation(), angles) << "the view does not jump on resume";
}

TEST(PauseTest, PTogglesDuringPlayAndDoesNothingWhenTheGameIsOver)
{
    testkit::GameHarness h;
    tap(h, GLFW_KEY_P);
    EXPECT_TRUE(h.game.paused);
    EXPECT_NE(dynamic_cast<PauseScreen*>(h.game.screens.top()), nullptr);
    tap(h, GLFW_KEY_P);
    EXPECT_FALSE(h.game.paused);
    EXPECT_NE(dynamic_cast<PlayScreen*>(h.game.screens.top()), nullptr);

    h.player->remainingTime = -1.0f;
    h.frame(dt);
    tap(h, GLFW_KEY_P);
    EXPECT_FALSE(h.game.paused);
    // Enter still restarts: the game over screen is not a paused one.
    tap(h, GLFW_KEY_ENTER);
    EXPECT_EQ(h.player->remainingTime, 15.0f - dt);
}

TEST(PauseTest, LosingTheFocusPausesUntilTheKeyOrAClick)
{
    testkit::GameHarness h;
    h.press(GLFW_KEY_A);
    h.frame(dt);
    h.game.focused = false;
    h.frame(dt);
    ASSERT_TRUE(h.game.paused);
    const glm::vec3 position = h.player->getPosition();
    h.frames(30, dt); // A still held, as seen by the game, while away
    EXPECT_EQ(h.player->getPosition(), position);

    h.release(GLFW_KEY_A);
    h.game.focused = true;
    h.frames(30, dt);
    EXPECT_TRUE(h.game.paused) << "coming back does not throw the player into play";
    EXPECT_EQ(h.player->getPosition(), position);
    tap(h, GLFW_KEY_P);
    EXPECT_FALSE(h.game.paused);
}

TEST(PauseTest, AGamepadLostDuringPlayPauses)
{
    testkit::GameHarness h;
    h.keys->pad.connected = true;
    h.frame(dt);
    h.keys->pad.connected = false;
    ::testing::internal::CaptureStdout();
    h.frame(dt);
    ::testing::internal::GetCapturedStdout();
    EXPECT_TRUE(h.game.paused);
}

TEST(PauseTest, AHalfDeflectedStickMovesHalfAsFarSidewaysAsTheKey)
{
    testkit::GameHarness h;
    h.frame(dt);
    glm::vec3 start = h.player->getPosition();
    h.press(GLFW_KEY_D);
    h.frame(dt);
    const float byKey = h.player->getPosition().y - start.y;
    h.release(GLFW_KEY_D);
    h.frame(dt);

    h.keys->pad.connected = true;
    h.keys->pad.axes[GLFW_GAMEPAD_AXIS_LEFT_X] = 0.5f;
    start = h.player->getPosition();
    h.frame(dt);
    const float byStick = h.player->getPosition().y - start.y;
    ASSERT_NEAR(byKey, -50.0f * dt, 1e-3f); // camera right is -y
    EXPECT_NEAR(byStick, byKey / 2.0f, 1e-3f);
}

} // namespace
