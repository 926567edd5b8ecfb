#include "input/Gamepad.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

namespace {

GamepadState padWithLeftStick(float x, float y)
{
    GamepadState pad;
    pad.connected = true;
    pad.axes[GLFW_GAMEPAD_AXIS_LEFT_X] = x;
    pad.axes[GLFW_GAMEPAD_AXIS_LEFT_Y] = y;
    return pad;
}

TEST(GamepadTest, DeadZoneIsRadialAndDiagonalsNeverExceedAFullDeflection)
{
    // Just inside the circle of 0.2 is rest, also on a diagonal whose axes each read 0.14.
    EXPECT_EQ(applyDeadZone({0.19f, 0.0f}), glm::vec2(0.0f));
    EXPECT_EQ(applyDeadZone({0.14f, -0.14f}), glm::vec2(0.0f));
    // On the circle and beyond the stick reads as it is.
    EXPECT_EQ(applyDeadZone({0.0f, 0.2f}), glm::vec2(0.0f, 0.2f));
    EXPECT_EQ(applyDeadZone({0.15f, 0.15f}), glm::vec2(0.15f, 0.15f)) << "0.21 from the centre is outside";
    EXPECT_EQ(applyDeadZone({-0.5f, 0.0f}), glm::vec2(-0.5f, 0.0f));
    // A square-gated stick in the corner is a full deflection, not 1.41 of one.
    const glm::vec2 corner = applyDeadZone({1.0f, 1.0f});
    EXPECT_NEAR(glm::length(corner), 1.0f, 1e-6f);
    EXPECT_NEAR(corner.x, corner.y, 1e-6f);
    EXPECT_EQ(applyDeadZone({NAN, 0.0f}), glm::vec2(0.0f));
}

TEST(GamepadTest, LeftStickSteersSidewaysAndUpAndRightStickTurns)
{
    GamepadState pad = padWithLeftStick(0.6f, -0.8f);
    pad.axes[GLFW_GAMEPAD_AXIS_RIGHT_X] = -0.5f;
    pad.axes[GLFW_GAMEPAD_AXIS_RIGHT_Y] = 0.1f; // small, but the stick as a whole is out of the dead zone
    const GamepadControls c = gamepadControls(pad, pad);
    EXPECT_FLOAT_EQ(c.sideways, 0.6f);
    EXPECT_FLOAT_EQ(c.vertical, 0.8f) << "pushed away from the player is up";
    EXPECT_FLOAT_EQ(c.turnX, -0.5f);
    EXPECT_FLOAT_EQ(c.turnY, 0.1f);
    EXPECT_EQ(c.faster, 0.0f) << "triggers at rest read -1";
    EXPECT_EQ(c.stop, 0.0f);
}

TEST(GamepadTest, TriggersAndFaceButtonsGoFasterOrStop)
{
    EXPECT_EQ(triggerPull(-1.0f), 0.0f);
    EXPECT_EQ(triggerPull(-0.7f), 0.0f) << "a resting trigger that reads a little pulled";
    EXPECT_FLOAT_EQ(triggerPull(0.0f), 0.5f);
    EXPECT_FLOAT_EQ(triggerPull(1.0f), 1.0f);

    GamepadState pad = padWithLeftStick(0.0f, 0.0f);
    pad.axes[GLFW_GAMEPAD_AXIS_RIGHT_TRIGGER] = 0.0f;
    pad.axes[GLFW_GAMEPAD_AXIS_LEFT_TRIGGER] = 1.0f;
    GamepadControls c = gamepadControls(pad, pad);
    EXPECT_FLOAT_EQ(c.faster, 0.5f);
    EXPECT_FLOAT_EQ(c.stop, 1.0f);

    pad.axes[GLFW_GAMEPAD_AXIS_RIGHT_TRIGGER] = -1.0f;
    pad.axes[GLFW_GAMEPAD_AXIS_LEFT_TRIGGER] = -1.0f;
    pad.buttons[GLFW_GAMEPAD_BUTTON_A] = true;
    pad.buttons[GLFW_GAMEPAD_BUTTON_B] = true;
    c = gamepadControls(pad, pad);
    EXPECT_EQ(c.faster, 1.0f);
    EXPECT_EQ(c.stop, 1.0f);
}

TEST(GamepadTest, ButtonActionsFireOnceWhenLetGo)
{
    GamepadState held = padWithLeftStick(0.0f, 0.0f);
    for (int b : {GLFW_GAMEPAD_BUTTON_START, GLFW_GAMEPAD_BUTTON_A, GLFW_GAMEPAD_BUTTON_LEFT_BUMPER,
                  GLFW_GAMEPAD_BUTTON_RIGHT_BUMPER})
        held.buttons[static_cast<std::size_t>(b)] = true;
    const GamepadState up = padWithLeftStick(0.0f, 0.0f);

    const GamepadControls pressing = gamepadControls(held, up);
    EXPECT_FALSE(pressing.pause || pressing.closer || pressing.farther);
    const GamepadControls holding = gamepadControls(held, held);
    EXPECT_FALSE(holding.pause || holding.closer || holding.farther);
    const GamepadControls letGo = gamepadControls(up, held);
    EXPECT_TRUE(letGo.pause);
    EXPECT_TRUE(letGo.closer);
    EXPECT_TRUE(letGo.farther);
}

TEST(GamepadTest, APadThatIsGoneAsksForNothing)
{
    // Pulling the cable is not letting go of every button the player was holding.
    GamepadState held = padWithLeftStick(1.0f, 0.0f);
    held.buttons[GLFW_GAMEPAD_BUTTON_START] = true;
    GamepadState gone = held;
    gone.connected = false;
    const GamepadControls c = gamepadControls(gone, held);
    EXPECT_EQ(c.sideways, 0.0f);
    EXPECT_FALSE(c.pause);
}

} // namespace
