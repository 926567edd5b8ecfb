#pragma once

#include <glm/glm.hpp>

#include <array>
#include <string>

// One sample of a gamepad, laid out as GLFW's standard gamepad (GLFW_GAMEPAD_AXIS_* and
// GLFW_GAMEPAD_BUTTON_* index the arrays). Plain data, so a frame's pad can be scripted or kept.
struct GamepadState {
    bool connected = false;
    std::string name;
    // Sticks in -1..1 (y grows downwards); triggers -1 at rest, 1 fully pulled.
    std::array<float, 6> axes{0.0f, 0.0f, 0.0f, 0.0f, -1.0f, -1.0f};
    std::array<bool, 15> buttons{};
};

// What a gamepad asks of the game in one frame. Amounts are 0..1 (or -1..1 for directions),
// the same scale as a key held (1) or not (0); actions fire when their button is let go.
struct GamepadControls {
    float sideways = 0.0f; // + right
    float vertical = 0.0f; // + up
    float faster = 0.0f;   // as W
    float stop = 0.0f;     // as S
    // Camera turning, -1..1 of the full turning rate; y grows downwards like the mouse.
    float turnX = 0.0f;
    float turnY = 0.0f;
    bool pause = false;
    bool closer = false;
    bool farther = false;
};

// Stick wear makes a resting stick read a little off centre: a deflection inside this radius is
// no deflection at all; outside it the stick counts as read (never beyond a full deflection).
constexpr float stickDeadZone = 0.2f;
glm::vec2 applyDeadZone(glm::vec2 stick);

// A trigger's pull as 0..1, with the same dead zone at the resting end.
float triggerPull(float axis);

// The controls of this frame; `before` is the previous frame's sample, for the button actions.
GamepadControls gamepadControls(const GamepadState& now, const GamepadState& before);
