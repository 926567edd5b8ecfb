#include "app/GameInput.h"

#include "render/Files.h"

#include <GLFW/glfw3.h>

#include <algorithm>

GameInput::GameInput(GLFWwindow* window)
    : GameInput(makeGlfwInputDevice(window))
{
}

GameInput::GameInput(std::unique_ptr<InputDevice> device)
    : watchedKeys{GLFW_KEY_F3, GLFW_KEY_ESCAPE, GLFW_KEY_F2, GLFW_KEY_F4, GLFW_KEY_F5, GLFW_KEY_F6,
                  GLFW_KEY_S, GLFW_KEY_W, GLFW_KEY_SPACE, GLFW_KEY_LEFT_SHIFT, GLFW_KEY_A, GLFW_KEY_D,
                  GLFW_MOUSE_BUTTON_LEFT, GLFW_KEY_ENTER, SCROLL_UP, SCROLL_DOWN, GLFW_KEY_P, GLFW_KEY_F11,
                  GLFW_KEY_M, GLFW_KEY_F12}
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

    // Pads come and go while the game runs.
    const GamepadState sampled = device->gamepad();
    if (sampled.connected && !gamepad.connected)
        logMessage("Gamepad connected: " + sampled.name);
    gamepadLost = gamepad.connected && !sampled.connected;
    if (gamepadLost)
        logMessage("Gamepad disconnected");
    pad = gamepadControls(sampled, gamepad);
    gamepad = sampled;
    // The shoulders step the camera as one click of the wheel does.
    if (pad.closer)
        keyStates[SCROLL_UP] = KEY_RELEASED;
    if (pad.farther)
        keyStates[SCROLL_DOWN] = KEY_RELEASED;

    if (released(GLFW_KEY_ESCAPE))
        quitToggle = !quitToggle;
    if (released(GLFW_KEY_F2))
        wireframe = !wireframe;
    if (released(GLFW_KEY_F3))
        showFps = !showFps;
    if (released(GLFW_KEY_F6))
        showHud = !showHud;
    if (released(GLFW_KEY_M))
        muted = !muted;
    if (released(GLFW_KEY_ENTER) || pad.restart)
        restartPressed = true;
    pauseRequested = released(GLFW_KEY_P) || pad.pause;

    if (!captured) {
        mouseDeltaX = 0.0;
        mouseDeltaY = 0.0;
        return;
    }
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
        s = KEY_UP;
    // The last movement was already turned into camera motion; it must not repeat every frame.
    mouseDeltaX = 0.0;
    mouseDeltaY = 0.0;
    // Buttons held now will not count as let go when the window has the focus again.
    gamepad.buttons = {};
    pad = GamepadControls{};
    pauseRequested = false;
    gamepadLost = false;
}

void GameInput::releaseCursor()
{
    captured = false;
    device->showCursor();
    mouseDeltaX = 0.0;
    mouseDeltaY = 0.0;
}

void GameInput::captureCursor()
{
    captured = true;
    device->hideCursor();
    int width = 0;
    int height = 0;
    device->getWindowSize(width, height);
    device->setCursorPos(width / 2, height / 2);
    mouseDeltaX = 0.0;
    mouseDeltaY = 0.0;
}

namespace {

float keyAmount(const GameInput& input, int code)
{
    return input.held(code) ? 1.0f : 0.0f;
}

} // namespace

float GameInput::sideways() const
{
    return std::clamp(keyAmount(*this, GLFW_KEY_D) - keyAmount(*this, GLFW_KEY_A) + pad.sideways, -1.0f, 1.0f);
}

float GameInput::vertical() const
{
    return std::clamp(keyAmount(*this, GLFW_KEY_SPACE) - keyAmount(*this, GLFW_KEY_LEFT_SHIFT) + pad.vertical, -1.0f,
                      1.0f);
}

float GameInput::faster() const
{
    return std::max(keyAmount(*this, GLFW_KEY_W), pad.faster);
}

float GameInput::stop() const
{
    return std::max(keyAmount(*this, GLFW_KEY_S), pad.stop);
}

int GameInput::state(int code) const
{
    const auto it = keyStates.find(code);
    return it == keyStates.end() ? KEY_UP : it->second;
}
