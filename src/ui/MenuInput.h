#pragma once

#include "input/Gamepad.h"

#include <array>
#include <cstdint>

class InputDevice;

// What the menus read of the keyboard, the mouse and the pad in one frame, sampled straight
// from the device (never recorded: menus are not part of a run). Like the game's own keys,
// a key acts in the frame it is let go.
class MenuInput {
public:
    explicit MenuInput(InputDevice* device = nullptr)
        : device(device)
    {
    }

    void setDevice(InputDevice* newDevice) { device = newDevice; }
    // The device read, for a screen that waits for any key at all (the controls screen).
    InputDevice* source() const { return device; }
    // One sample; `focused` false (the window is elsewhere) rests every key and button.
    // `duringPlay`: a menu shown while the world goes on reads only the arrows, Enter, Tab and the
    // mouse button, leaving every other key to the creature's input.
    void update(bool focused, bool duringPlay = false);
    // Takes the keys, buttons and cursor as they are now as the last sample, so that the next
    // update sees only what changes from here (a menu coming up after frames it did not watch).
    void resync(bool focused, bool duringPlay = false);

    // Let go in this frame.
    bool released(int code) const;
    bool held(int code) const;

    // The menu actions, keyboard and pad together.
    bool up() const;
    bool down() const;
    bool left() const;
    bool right() const;
    // Enter, Space, or the pad's A.
    bool choose() const;
    // Escape, Backspace, or the pad's B: one screen back.
    bool back() const;
    // P or the pad's Start: out of the pause menu.
    bool resume() const;

    // The cursor in window pixels from the top-left corner, as GLFW gives it.
    double cursorX = 0.0;
    double cursorY = 0.0;
    // The cursor moved since the last sample: the item under it takes the highlight.
    bool cursorMoved = false;
    // The left button went down / was let go in this frame.
    bool clickStarted = false;
    bool clickEnded = false;

    // The pad's button (GLFW_GAMEPAD_BUTTON_*) was let go in this frame.
    bool padReleased(int button) const;

private:
    bool stickTipped(int axis, float direction) const;

    InputDevice* device;
    // Down at the last sample / at the sample before, by the codes below.
    std::array<bool, 24> keyDown{};
    std::array<bool, 24> keyWasDown{};
    GamepadState pad;
    GamepadState padBefore;
    bool sampled = false;
};
