#include "app/InputDevice.h"

#include <GLFW/glfw3.h>

namespace {

class GlfwInputDevice final : public InputDevice {
public:
    explicit GlfwInputDevice(GLFWwindow* window)
        : window(window)
    {
    }

    bool isPressed(int code) override
    {
        if (code == GLFW_MOUSE_BUTTON_LEFT)
            return glfwGetMouseButton(window, GLFW_MOUSE_BUTTON_LEFT) == GLFW_PRESS;
        return glfwGetKey(window, code) == GLFW_PRESS;
    }

    void getWindowSize(int& width, int& height) override { glfwGetWindowSize(window, &width, &height); }
    void getCursorPos(double& x, double& y) override { glfwGetCursorPos(window, &x, &y); }
    void setCursorPos(double x, double y) override { glfwSetCursorPos(window, x, y); }
    void hideCursor() override { glfwSetInputMode(window, GLFW_CURSOR, GLFW_CURSOR_HIDDEN); }

private:
    GLFWwindow* window;
};

} // namespace

std::unique_ptr<InputDevice> makeGlfwInputDevice(GLFWwindow* window)
{
    return std::make_unique<GlfwInputDevice>(window);
}
