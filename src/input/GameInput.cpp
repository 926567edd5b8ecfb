#include "input/GameInput.h"

#include "files/Config.h"
#include "files/Files.h"

#include <GLFW/glfw3.h>

#include <algorithm>

GameInput::GameInput(GLFWwindow* window, const Controls& controls)
    : GameInput(makeGlfwInputDevice(window), controls)
{
}

namespace {

// The keys a game with these bindings reads, in the order it reads them. The default bindings
// give the order of old, so a recording's key list is unchanged by the controls table.
std::vector<int> keysToWatch(const Controls& controls)
{
    const auto key = [&](Action action) { return controls.key(action); };
    const std::vector<int> order{GLFW_KEY_F3, GLFW_KEY_ESCAPE, GLFW_KEY_F2, GLFW_KEY_F4, GLFW_KEY_F5, GLFW_KEY_F6,
                                 key(Action::Stop), key(Action::Forward), key(Action::Up), key(Action::Down),
                                 key(Action::Left), key(Action::Right), GLFW_MOUSE_BUTTON_LEFT, key(Action::Restart),
                                 SCROLL_UP, SCROLL_DOWN, key(Action::Pause), GLFW_KEY_F11, key(Action::Mute),
                                 GLFW_KEY_F12, key(Action::CameraCloser), key(Action::CameraFarther),
                                 key(Action::Screenshot)};
    std::vector<int> watched;
    for (int code : order)
        if (code != noKey && std::find(watched.begin(), watched.end(), code) == watched.end())
            watched.push_back(code);
    return watched;
}

} // namespace

GameInput::GameInput(std::unique_ptr<InputDevice> device, const Controls& controls)
    : showFps(show_frame_rate != 0.0f)
    , device(std::move(device))
{
    setControls(controls);

    this->device->hideCursor();
    int width = 0;
    int height = 0;
    this->device->getWindowSize(width, height);
    this->device->setCursorPos(width / 2, height / 2);
}

void GameInput::setControls(const Controls& controls)
{
    bindings = controls;
    watchedKeys = keysToWatch(bindings);
    std::map<int, int> states;
    for (int code : watchedKeys)
        states[code] = state(code);
    keyStates = std::move(states);
    // The press that chose a new key on the controls screen is not a press of its new action.
    device->forgetTaps();
}

void GameInput::update()
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
    // The shoulders and the camera keys step the camera as one click of the wheel does.
    if (pad.closer || released(boundKey(Action::CameraCloser)))
        keyStates[SCROLL_UP] = KEY_RELEASED;
    if (pad.farther || released(boundKey(Action::CameraFarther)))
        keyStates[SCROLL_DOWN] = KEY_RELEASED;

    if (released(GLFW_KEY_ESCAPE))
        quitToggle = !quitToggle;
    if (released(GLFW_KEY_F2))
        wireframe = !wireframe;
    if (released(GLFW_KEY_F3))
        showFps = !showFps;
    if (released(GLFW_KEY_F6))
        showHud = !showHud;
    if (released(boundKey(Action::Mute)))
        muted = !muted;
    pauseRequested = released(boundKey(Action::Pause)) || pad.pause;
    screenshotRequested = released(GLFW_KEY_F12) || released(boundKey(Action::Screenshot));

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
    screenshotRequested = false;
    gamepadLost = false;
    // Taps the window saw before it lost the focus (and the releases it makes up on losing it)
    // must not turn into presses when it is back.
    device->forgetTaps();
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

float GameInput::sideways() const
{
    return std::clamp(keyAmount(Action::Right) - keyAmount(Action::Left) + pad.sideways, -1.0f, 1.0f);
}

float GameInput::vertical() const
{
    return std::clamp(keyAmount(Action::Up) - keyAmount(Action::Down) + pad.vertical, -1.0f, 1.0f);
}

float GameInput::faster() const
{
    return std::max(keyAmount(Action::Forward), pad.faster);
}

float GameInput::stop() const
{
    return std::max(keyAmount(Action::Stop), pad.stop);
}

int GameInput::state(int code) const
{
    const auto it = keyStates.find(code);
    return it == keyStates.end() ? KEY_UP : it->second;
}
