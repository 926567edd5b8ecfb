#include "input/Gamepad.h"

#include <GLFW/glfw3.h>

#include <algorithm>

glm::vec2 applyDeadZone(glm::vec2 stick)
{
    const float length = glm::length(stick);
    if (!(length >= stickDeadZone)) // also a NaN from a confused driver
        return glm::vec2(0.0f);
    // Square-gated sticks reach (1, 1) in the corners: a diagonal is not faster than straight on.
    return length > 1.0f ? stick / length : stick;
}

float triggerPull(float axis)
{
    const float pull = std::clamp((axis + 1.0f) * 0.5f, 0.0f, 1.0f);
    return pull >= stickDeadZone ? pull : 0.0f;
}

namespace {

bool letGo(const GamepadState& now, const GamepadState& before, int button)
{
    return before.buttons[static_cast<std::size_t>(button)] && !now.buttons[static_cast<std::size_t>(button)];
}

} // namespace

GamepadControls gamepadControls(const GamepadState& now, const GamepadState& before)
{
    GamepadControls c;
    if (!now.connected)
        return c;
    const glm::vec2 left = applyDeadZone({now.axes[GLFW_GAMEPAD_AXIS_LEFT_X], now.axes[GLFW_GAMEPAD_AXIS_LEFT_Y]});
    const glm::vec2 right = applyDeadZone({now.axes[GLFW_GAMEPAD_AXIS_RIGHT_X], now.axes[GLFW_GAMEPAD_AXIS_RIGHT_Y]});
    c.sideways = left.x;
    c.vertical = -left.y; // stick pushed away from the player reads negative: that is up
    c.turnX = right.x;
    c.turnY = right.y;

    const bool a = now.buttons[GLFW_GAMEPAD_BUTTON_A];
    const bool b = now.buttons[GLFW_GAMEPAD_BUTTON_B];
    c.faster = std::max(triggerPull(now.axes[GLFW_GAMEPAD_AXIS_RIGHT_TRIGGER]), a ? 1.0f : 0.0f);
    c.stop = std::max(triggerPull(now.axes[GLFW_GAMEPAD_AXIS_LEFT_TRIGGER]), b ? 1.0f : 0.0f);

    if (before.connected) {
        c.pause = letGo(now, before, GLFW_GAMEPAD_BUTTON_START);
        c.closer = letGo(now, before, GLFW_GAMEPAD_BUTTON_LEFT_BUMPER);
        c.farther = letGo(now, before, GLFW_GAMEPAD_BUTTON_RIGHT_BUMPER);
    }
    return c;
}
