#include "app/GameInput.h"

#include <GLFW/glfw3.h>

GameInput::GameInput(GLFWwindow* window)
    : GameInput(makeGlfwInputDevice(window))
{
}

GameInput::GameInput(std::unique_ptr<InputDevice> device)
    : watchedKeys{GLFW_KEY_F3, GLFW_KEY_ESCAPE, GLFW_KEY_F2, GLFW_KEY_F4, GLFW_KEY_F5, GLFW_KEY_F6,
                  GLFW_KEY_S, GLFW_KEY_W, GLFW_KEY_SPACE, GLFW_KEY_LEFT_SHIFT, GLFW_KEY_A, GLFW_KEY_D,
                  GLFW_MOUSE_BUTTON_LEFT, GLFW_KEY_ENTER, SCROLL_UP, SCROLL_DOWN, GLFW_KEY_F12}
    , device(std::move(device))
{
    for (int code : watchedKeys)
        keyStates[code] = KEY_UP;

    this->device->hideCursor();
    int width = 0;
    int height = 0;
    this->device->getWindowSize(width, height);
    this->device->setCursorPos(width / 2, height / 2);
}

void GameInput::update(Game*)
{
    for (int code : watchedKeys) {
        // The scroll pseudo-keys are never pressed on the keyboard; the callback holds them.
        const bool pressed = (code == SCROLL_UP || code == SCROLL_DOWN) ? false : device->isPressed(code);
        int& s = keyStates[code];
        if (pressed)
            s = KEY_HELD;
        else if (s == KEY_HELD)
            s = KEY_RELEASED;
        else if (s == KEY_RELEASED)
            s = KEY_UP;
    }

    if (released(GLFW_KEY_ESCAPE))
        quitToggle = !quitToggle;
    if (released(GLFW_KEY_F2))
        wireframe = !wireframe;
    if (released(GLFW_KEY_F3))
        showFps = !showFps;
    if (released(GLFW_KEY_F6))
        showHud = !showHud;
    if (released(GLFW_KEY_ENTER))
        restartPressed = true;

    int width = 0;
    int height = 0;
    double x = 0.0;
    double y = 0.0;
    device->getWindowSize(width, height);
    device->getCursorPos(x, y);
    mouseDeltaX = x - (width / 2);
    mouseDeltaY = y - (height / 2);
    device->setCursorPos(width / 2, height / 2);
}

void GameInput::onScroll(double yOffset)
{
    keyStates[SCROLL_UP] = yOffset > 0.0 ? KEY_HELD : KEY_UP;
    keyStates[SCROLL_DOWN] = yOffset < 0.0 ? KEY_HELD : KEY_UP;
}

void GameInput::settle()
{
    for (auto& [code, s] : keyStates)
        if (s == KEY_RELEASED)
            s = KEY_UP;
    // The last movement was already turned into camera motion; it must not repeat every frame.
    mouseDeltaX = 0.0;
    mouseDeltaY = 0.0;
}

int GameInput::state(int code) const
{
    const auto it = keyStates.find(code);
    return it == keyStates.end() ? KEY_UP : it->second;
}
