#pragma once

#include "input/Gamepad.h"

#include <memory>

struct GLFWwindow;

// The thin seam between the game's input logic and the windowing system, so the
// key and mouse rules can be exercised without a window.
class InputDevice {
public:
    virtual ~InputDevice() = default;
    // True while the key (or, for code 0, the left mouse button) is down, and also once after
    // a press that was let go again before this key was last asked: a quick tap between two
    // samples is a press at the one and a release at the next.
    virtual bool isPressed(int code) = 0;
    // Drops the taps not asked about yet (the window lost the focus meanwhile).
    virtual void forgetTaps() {}
    virtual void getWindowSize(int& width, int& height) = 0;
    virtual void getCursorPos(double& x, double& y) = 0;
    virtual void setCursorPos(double x, double y) = 0;
    // Hidden over the window while playing; shown and free while paused.
    virtual void hideCursor() = 0;
    virtual void showCursor() {}
    // The first gamepad present; a device without gamepads reports none connected.
    virtual GamepadState gamepad() { return {}; }
};

// The real thing: polls a GLFW window.
std::unique_ptr<InputDevice> makeGlfwInputDevice(GLFWwindow* window);
