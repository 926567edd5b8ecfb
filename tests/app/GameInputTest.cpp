#include "app/GameInput.h"
#include "support/TestSupport.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

namespace {

class GameInputTest : public ::testing::Test {
protected:
    GameInputTest()
    {
        auto owned = std::make_unique<testkit::FakeInputDevice>();
        device = owned.get();
        input = std::make_unique<GameInput>(std::move(owned));
    }

    void press(int code) { device->pressed[code] = true; }
    void release(int code) { device->pressed[code] = false; }
    void frame() { input->update(nullptr); }

    testkit::FakeInputDevice* device;
    std::unique_ptr<GameInput> input;
};

TEST_F(GameInputTest, WatchesTheSeventeenCodesInPollingOrder)
{
    const std::vector<int> expected{292, 256, 291, 293, 294, 295, 83, 87, 32, 340, 65, 68, 0, 257, 258, 259, 301};
    EXPECT_EQ(input->watchedKeys, expected);
    EXPECT_EQ(input->keyStates.size(), 17u);
    for (int code : expected)
        EXPECT_EQ(input->keyStates.at(code), KEY_UP);
    EXPECT_TRUE(device->cursorHidden);
    EXPECT_TRUE(input->showFps);
    EXPECT_TRUE(input->showHud);
    EXPECT_FALSE(input->wireframe);
}

TEST_F(GameInputTest, KeyGoesHeldReleasedThenUp)
{
    press(GLFW_KEY_W);
    frame();
    EXPECT_EQ(input->state(GLFW_KEY_W), KEY_HELD);
    frame();
    EXPECT_EQ(input->state(GLFW_KEY_W), KEY_HELD);
    release(GLFW_KEY_W);
    frame();
    EXPECT_EQ(input->state(GLFW_KEY_W), KEY_RELEASED);
    frame();
    EXPECT_EQ(input->state(GLFW_KEY_W), KEY_UP);
    frame();
    EXPECT_EQ(input->state(GLFW_KEY_W), KEY_UP);
}

TEST_F(GameInputTest, TogglesFlipOncePerReleaseNotWhileHeld)
{
    press(GLFW_KEY_F2);
    press(GLFW_KEY_F3);
    for (int i = 0; i < 5; ++i)
        frame();
    EXPECT_FALSE(input->wireframe);
    EXPECT_TRUE(input->showFps);
    release(GLFW_KEY_F2);
    release(GLFW_KEY_F3);
    frame();
    EXPECT_TRUE(input->wireframe);
    EXPECT_FALSE(input->showFps);
    frame();
    frame();
    EXPECT_TRUE(input->wireframe);
    EXPECT_FALSE(input->showFps);

    press(GLFW_KEY_F6);
    frame();
    release(GLFW_KEY_F6);
    frame();
    EXPECT_FALSE(input->showHud);
    press(GLFW_KEY_ESCAPE);
    frame();
    EXPECT_FALSE(input->quitToggle);
    release(GLFW_KEY_ESCAPE);
    frame();
    EXPECT_TRUE(input->quitToggle);
}

TEST_F(GameInputTest, EnterOnlySetsRestartPressed)
{
    press(GLFW_KEY_ENTER);
    frame();
    EXPECT_FALSE(input->restartPressed);
    release(GLFW_KEY_ENTER);
    frame();
    EXPECT_TRUE(input->restartPressed);
    frame();
    EXPECT_TRUE(input->restartPressed) << "only the game clears it";
}

TEST_F(GameInputTest, ScrollGivesExactlyOneReleasedFrame)
{
    input->onScroll(1.0);
    EXPECT_EQ(input->state(SCROLL_UP), KEY_HELD);
    frame();
    EXPECT_EQ(input->state(SCROLL_UP), KEY_RELEASED);
    EXPECT_EQ(input->state(SCROLL_DOWN), KEY_UP);
    frame();
    EXPECT_EQ(input->state(SCROLL_UP), KEY_UP);
}

TEST_F(GameInputTest, LastScrollDirectionWinsAndHorizontalScrollDoesNothing)
{
    input->onScroll(1.0);
    input->onScroll(-2.0);
    frame();
    EXPECT_EQ(input->state(SCROLL_UP), KEY_UP);
    EXPECT_EQ(input->state(SCROLL_DOWN), KEY_RELEASED);
    frame();

    input->onScroll(1.0);
    input->onScroll(0.0);
    frame();
    EXPECT_EQ(input->state(SCROLL_UP), KEY_UP);
    EXPECT_EQ(input->state(SCROLL_DOWN), KEY_UP);
}

TEST_F(GameInputTest, MouseDeltaIsMeasuredFromTheIntegerCentreAndRecentred)
{
    device->width = 1001;
    device->height = 751;
    device->cursorX = 510.0;
    device->cursorY = 370.5;
    frame();
    EXPECT_DOUBLE_EQ(input->mouseDeltaX, 10.0);
    EXPECT_DOUBLE_EQ(input->mouseDeltaY, -4.5);
    EXPECT_DOUBLE_EQ(device->cursorX, 500.0);
    EXPECT_DOUBLE_EQ(device->cursorY, 375.0);
    frame();
    EXPECT_DOUBLE_EQ(input->mouseDeltaX, 0.0);
    EXPECT_DOUBLE_EQ(input->mouseDeltaY, 0.0);
}

TEST_F(GameInputTest, SettlingWithoutFocusEndsReleasesAndMouseMotion)
{
    press(GLFW_KEY_F4);
    frame();
    release(GLFW_KEY_F4);
    device->cursorX = 600.0;
    frame();
    ASSERT_TRUE(input->released(GLFW_KEY_F4));
    ASSERT_DOUBLE_EQ(input->mouseDeltaX, 100.0);

    // Focus is lost: no sampling, but the release must not act a second time.
    input->settle();
    EXPECT_EQ(input->state(GLFW_KEY_F4), KEY_UP);
    EXPECT_DOUBLE_EQ(input->mouseDeltaX, 0.0);
    input->settle();
    EXPECT_EQ(input->state(GLFW_KEY_F4), KEY_UP);
}

TEST_F(GameInputTest, HeldKeySurvivesSettling)
{
    press(GLFW_KEY_W);
    frame();
    input->settle();
    EXPECT_EQ(input->state(GLFW_KEY_W), KEY_HELD);
}

} // namespace
