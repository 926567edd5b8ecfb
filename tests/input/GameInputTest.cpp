#include "input/GameInput.h"
#include "support/TestSupport.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <algorithm>

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
    void frame() { input->update(); }

    testkit::FakeInputDevice* device;
    std::unique_ptr<GameInput> input;
};

TEST_F(GameInputTest, WatchesTheCodesInPollingOrder)
{
    // The sixteen of old, then P (pause), F11 (full screen), M (sound) and F12 (screenshot).
    const std::vector<int> expected{292, 256, 291, 293, 294, 295, 83, 87, 32, 340, 65, 68, 0, 257, SCROLL_UP, SCROLL_DOWN, 80, 300, 77, 301};
    EXPECT_EQ(input->watchedKeys, expected);
    EXPECT_EQ(input->keyStates.size(), expected.size());
    for (int code : expected)
        EXPECT_EQ(input->keyStates.at(code), KEY_UP);
    EXPECT_TRUE(device->cursorHidden);
    EXPECT_TRUE(input->showFps);
    EXPECT_TRUE(input->showHud);
    EXPECT_FALSE(input->wireframe);
    EXPECT_FALSE(input->muted);
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

TEST_F(GameInputTest, KeysHeldWhenFocusIsLostCountAsLetGoWithoutActing)
{
    // Alt-tab away while steering (and with Escape half pressed): the keys' releases happen in
    // another window, so the game must neither keep steering nor quit when the focus is back.
    press(GLFW_KEY_A);
    press(GLFW_KEY_ESCAPE);
    frame();
    ASSERT_EQ(input->sideways(), -1.0f);
    input->settle();
    EXPECT_EQ(input->state(GLFW_KEY_A), KEY_UP);
    EXPECT_EQ(input->sideways(), 0.0f);
    release(GLFW_KEY_A);
    release(GLFW_KEY_ESCAPE);
    frame();
    EXPECT_EQ(input->state(GLFW_KEY_ESCAPE), KEY_UP);
    EXPECT_FALSE(input->quitToggle);
}

TEST_F(GameInputTest, ReleasedCursorIsFreeAndCapturedCursorStartsAtTheCentre)
{
    input->releaseCursor();
    EXPECT_FALSE(device->cursorHidden);
    // Paused: the player moves the cursor anywhere; nothing is measured, nothing put back.
    device->cursorX = 900.0;
    device->cursorY = 10.0;
    frame();
    EXPECT_DOUBLE_EQ(input->mouseDeltaX, 0.0);
    EXPECT_DOUBLE_EQ(device->cursorX, 900.0) << "a free cursor is not put back";
    input->captureCursor();
    EXPECT_TRUE(device->cursorHidden);
    frame();
    EXPECT_DOUBLE_EQ(input->mouseDeltaX, 0.0) << "resuming must not turn the view";
    EXPECT_DOUBLE_EQ(input->mouseDeltaY, 0.0);
}

GamepadState connectedPad()
{
    GamepadState pad;
    pad.connected = true;
    pad.name = "Test Pad";
    return pad;
}

TEST_F(GameInputTest, GamepadComingAndGoingIsAnnouncedOnce)
{
    ::testing::internal::CaptureStdout();
    device->pad = connectedPad();
    frame();
    frame();
    EXPECT_FALSE(input->gamepadLost);
    device->pad = GamepadState{};
    frame();
    EXPECT_TRUE(input->gamepadLost);
    frame();
    EXPECT_FALSE(input->gamepadLost);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Gamepad connected: Test Pad\nGamepad disconnected\n");
}

TEST_F(GameInputTest, GamepadButtonsActAsTheirKeysWhenLetGo)
{
    device->pad = connectedPad();
    frame();
    device->pad.buttons[GLFW_GAMEPAD_BUTTON_START] = true;
    device->pad.buttons[GLFW_GAMEPAD_BUTTON_A] = true;
    device->pad.buttons[GLFW_GAMEPAD_BUTTON_LEFT_BUMPER] = true;
    frame();
    EXPECT_FALSE(input->pauseRequested);
    EXPECT_EQ(input->faster(), 1.0f) << "A held flies faster";
    device->pad.buttons = {};
    frame();
    EXPECT_TRUE(input->pauseRequested);
    EXPECT_EQ(input->state(SCROLL_UP), KEY_RELEASED) << "a shoulder steps the camera as the wheel does";
    EXPECT_EQ(input->state(SCROLL_DOWN), KEY_UP);
    frame();
    EXPECT_FALSE(input->pauseRequested);
    EXPECT_EQ(input->state(SCROLL_UP), KEY_UP);

    press(GLFW_KEY_P);
    frame();
    release(GLFW_KEY_P);
    frame();
    EXPECT_TRUE(input->pauseRequested);
}

TEST_F(GameInputTest, KeysAndStickAddUpToAFullDeflectionAtMost)
{
    device->pad = connectedPad();
    device->pad.axes[GLFW_GAMEPAD_AXIS_LEFT_X] = 0.5f;
    frame();
    EXPECT_FLOAT_EQ(input->sideways(), 0.5f);
    press(GLFW_KEY_D);
    frame();
    EXPECT_FLOAT_EQ(input->sideways(), 1.0f);
    press(GLFW_KEY_A);
    frame();
    EXPECT_FLOAT_EQ(input->sideways(), 0.5f);
    device->pad.axes[GLFW_GAMEPAD_AXIS_LEFT_Y] = -0.6f; // pushed away: up
    press(GLFW_KEY_LEFT_SHIFT);
    frame();
    EXPECT_NEAR(input->vertical(), -0.4f, 1e-6f);
}

} // namespace

namespace {

class ReboundInputTest : public GameInputTest {
protected:
    ReboundInputTest()
    {
        Controls controls;
        controls.bind(Action::Forward, GLFW_KEY_UP);
        controls.bind(Action::Left, GLFW_KEY_LEFT);
        controls.bind(Action::Down, GLFW_KEY_RIGHT_CONTROL);
        controls.bind(Action::Pause, GLFW_KEY_TAB);
        controls.bind(Action::Restart, GLFW_KEY_BACKSPACE);
        controls.bind(Action::Mute, GLFW_KEY_K);
        controls.bind(Action::CameraCloser, GLFW_KEY_PAGE_UP);
        controls.bind(Action::Screenshot, GLFW_KEY_PRINT_SCREEN);
        input->setControls(controls);
    }

    void tap(int code)
    {
        press(code);
        frame();
        release(code);
        frame();
    }
};

TEST_F(ReboundInputTest, ReboundKeysSteerAndTheirOldKeysDoNot)
{
    press(GLFW_KEY_W);
    press(GLFW_KEY_A);
    press(GLFW_KEY_LEFT_SHIFT);
    frame();
    EXPECT_EQ(input->faster(), 0.0f);
    EXPECT_EQ(input->sideways(), 0.0f);
    EXPECT_EQ(input->vertical(), 0.0f);

    press(GLFW_KEY_UP);
    press(GLFW_KEY_LEFT);
    press(GLFW_KEY_RIGHT_CONTROL);
    frame();
    EXPECT_EQ(input->faster(), 1.0f);
    EXPECT_EQ(input->sideways(), -1.0f);
    EXPECT_EQ(input->vertical(), -1.0f);
    EXPECT_EQ(input->stop(), 0.0f);
}

TEST_F(ReboundInputTest, ReboundActionKeysActWhenLetGo)
{
    tap(GLFW_KEY_P);
    tap(GLFW_KEY_ENTER);
    tap(GLFW_KEY_M);
    EXPECT_FALSE(input->pauseRequested);
    EXPECT_FALSE(input->muted);

    tap(GLFW_KEY_TAB);
    EXPECT_TRUE(input->pauseRequested);
    tap(GLFW_KEY_K);
    EXPECT_TRUE(input->muted);

    // The camera key steps the camera as a click of the wheel does (the wheel still works).
    tap(GLFW_KEY_PAGE_UP);
    EXPECT_EQ(input->state(SCROLL_UP), KEY_RELEASED);
    frame();
    EXPECT_EQ(input->state(SCROLL_UP), KEY_UP);

    // F12 stays a screenshot; the bound key adds to it, once per release.
    tap(GLFW_KEY_PRINT_SCREEN);
    EXPECT_TRUE(input->screenshotRequested);
    frame();
    EXPECT_FALSE(input->screenshotRequested);
    tap(GLFW_KEY_F12);
    EXPECT_TRUE(input->screenshotRequested);
}

TEST_F(GameInputTest, AnInputKeepsTheBindingsItWasMadeWithWhateverThePlayerChanges)
{
    // A replay's input plays by the bindings of its recording; the player rebinding theirs
    // (or the config file naming others) must not reach it.
    Controls recorded;
    recorded.bind(Action::Right, GLFW_KEY_L);
    auto owned = std::make_unique<testkit::FakeInputDevice>();
    testkit::FakeInputDevice* replayDevice = owned.get();
    GameInput replayInput(std::move(owned), recorded);
    playerControls().bind(Action::Right, GLFW_KEY_J);
    GameInput playerInput(std::make_unique<testkit::FakeInputDevice>());
    resetControls();

    EXPECT_EQ(replayInput.controls(), recorded);
    EXPECT_EQ(playerInput.controls().key(Action::Right), GLFW_KEY_J);
    replayDevice->pressed[GLFW_KEY_L] = true;
    replayInput.update();
    EXPECT_EQ(replayInput.sideways(), 1.0f);
}

TEST_F(GameInputTest, NewBindingsKeepTheStateOfKeysStillBoundAndStartNewKeysUp)
{
    press(GLFW_KEY_D);
    press(GLFW_KEY_UP);
    frame();
    Controls controls;
    controls.bind(Action::Forward, GLFW_KEY_UP);
    input->setControls(controls);
    EXPECT_EQ(input->state(GLFW_KEY_D), KEY_HELD);
    EXPECT_EQ(input->state(GLFW_KEY_UP), KEY_UP) << "a key held before it was bound has not been pressed yet";
    EXPECT_EQ(input->state(GLFW_KEY_W), KEY_UP);
    EXPECT_EQ(std::count(input->watchedKeys.begin(), input->watchedKeys.end(), GLFW_KEY_W), 0);
    frame();
    EXPECT_EQ(input->faster(), 1.0f);
    EXPECT_EQ(input->sideways(), 1.0f);
}

} // namespace
