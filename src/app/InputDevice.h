#pragma once

#include <memory>

struct GLFWwindow;

// The thin seam between the game's input logic and the windowing system, so the
// key and mouse rules can be exercised without a window.
class InputDevice {
public:
    virtual ~InputDevice() = default;
    // True while the key (or, for code 0, the left mouse button) is down.
    virtual bool isPressed(int code) = 0;
    virtual void getWindowSize(int& width, int& height) = 0;
    virtual void getCursorPos(double& x, double& y) = 0;
    virtual void setCursorPos(double x, double y) = 0;
    virtual void hideCursor() = 0;
};

// The real thing: polls a GLFW window.
std::unique_ptr<InputDevice> makeGlfwInputDevice(GLFWwindow* window);
