#include "input/InputDevice.h"

#include <GLFW/glfw3.h>

namespace {

class GlfwInputDevice final : public InputDevice {
public:
    explicit GlfwInputDevice(GLFWwindow* window)
        : window(window)
    {
        setSticky(true);
    }

    bool isPressed(int code) override
    {
        if (code == GLFW_MOUSE_BUTTON_LEFT)
            return glfwGetMouseButton(window, GLFW_MOUSE_BUTTON_LEFT) == GLFW_PRESS;
        return glfwGetKey(window, code) == GLFW_PRESS;
    }

    // Sticky keys and buttons: GLFW keeps a key that was let go as pressed until it is asked
    // once, so a tap shorter than a frame is seen. Turning them off forgets the taps.
    void forgetTaps() override
    {
        setSticky(false);
        setSticky(true);
    }

    void getWindowSize(int& width, int& height) override { glfwGetWindowSize(window, &width, &height); }
    void getCursorPos(double& x, double& y) override { glfwGetCursorPos(window, &x, &y); }
    void setCursorPos(double x, double y) override { glfwSetCursorPos(window, x, y); }
    void hideCursor() override { glfwSetInputMode(window, GLFW_CURSOR, GLFW_CURSOR_HIDDEN); }
    void showCursor() override { glfwSetInputMode(window, GLFW_CURSOR, GLFW_CURSOR_NORMAL); }

    GamepadState gamepad() override
    {
        GamepadState pad;
        // Joysticks without a mapping (a flight stick, a wheel) are not gamepads; GLFW's own
        // mapping table turns the known pads into one standard layout.
        for (int id = GLFW_JOYSTICK_1; id <= GLFW_JOYSTICK_LAST; ++id) {
            GLFWgamepadstate state;
            if (!glfwJoystickIsGamepad(id) || !glfwGetGamepadState(id, &state))
                continue;
            pad.connected = true;
            const char* name = glfwGetGamepadName(id);
            pad.name = name ? name : "";
            for (std::size_t i = 0; i < pad.axes.size(); ++i)
                pad.axes[i] = state.axes[i];
            for (std::size_t i = 0; i < pad.buttons.size(); ++i)
                pad.buttons[i] = state.buttons[i] == GLFW_PRESS;
            break;
        }
        return pad;
    }

private:
    void setSticky(bool sticky)
    {
        glfwSetInputMode(window, GLFW_STICKY_KEYS, sticky ? GLFW_TRUE : GLFW_FALSE);
        glfwSetInputMode(window, GLFW_STICKY_MOUSE_BUTTONS, sticky ? GLFW_TRUE : GLFW_FALSE);
    }

    GLFWwindow* window;
};

} // namespace

std::unique_ptr<InputDevice> makeGlfwInputDevice(GLFWwindow* window)
{
    return std::make_unique<GlfwInputDevice>(window);
}
