#include "ui/MenuInput.h"

#include "input/InputDevice.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

// The keys the menus watch, by their place in the sampled arrays.
constexpr int watched[] = {GLFW_KEY_UP,    GLFW_KEY_DOWN,  GLFW_KEY_LEFT,      GLFW_KEY_RIGHT,
                           GLFW_KEY_W,     GLFW_KEY_S,     GLFW_KEY_A,         GLFW_KEY_D,
                           GLFW_KEY_ENTER, GLFW_KEY_KP_ENTER, GLFW_KEY_SPACE,  GLFW_KEY_ESCAPE,
                           GLFW_KEY_BACKSPACE, GLFW_KEY_P, GLFW_MOUSE_BUTTON_LEFT, GLFW_KEY_M,
                           GLFW_KEY_F2,    GLFW_KEY_F3,    GLFW_KEY_F4,        GLFW_KEY_F5,
                           GLFW_KEY_F6,    GLFW_KEY_F11,   GLFW_KEY_F12,       GLFW_KEY_TAB};
static_assert(std::size(watched) <= 24);
// A menu shown while the world goes on (the game-over menu) reads only these: the creature's
// input reads the rest, and asking the device for a key twice would take a quick tap from it.
bool readDuringPlay(int code)
{
    return code == GLFW_KEY_UP || code == GLFW_KEY_DOWN || code == GLFW_KEY_LEFT || code == GLFW_KEY_RIGHT ||
           code == GLFW_KEY_ENTER || code == GLFW_KEY_KP_ENTER || code == GLFW_KEY_TAB ||
           code == GLFW_MOUSE_BUTTON_LEFT;
}

int slot(int code)
{
    const auto it = std::find(std::begin(watched), std::end(watched), code);
    return it == std::end(watched) ? -1 : static_cast<int>(it - std::begin(watched));
}

// A stick counts as tipped past half way, once, when it crosses that line.
constexpr float stickTip = 0.5f;

} // namespace

void MenuInput::update(bool focused, bool duringPlay)
{
    keyWasDown = keyDown;
    padBefore = pad;
    clickStarted = false;
    clickEnded = false;
    cursorMoved = false;
    if (!device || !focused) {
        // Nothing held while away counts as let go when the window comes back.
        keyDown.fill(false);
        keyWasDown.fill(false);
        pad.buttons = {};
        padBefore.buttons = {};
        return;
    }
    for (std::size_t i = 0; i < std::size(watched); ++i)
        keyDown[i] = (!duringPlay || readDuringPlay(watched[i])) && device->isPressed(watched[i]);
    const GamepadState sampledPad = device->gamepad();
    pad.connected = sampledPad.connected;
    pad.axes = sampledPad.axes;
    pad.buttons = sampledPad.buttons;

    double x = 0.0;
    double y = 0.0;
    device->getCursorPos(x, y);
    cursorMoved = sampled && (x != cursorX || y != cursorY);
    cursorX = x;
    cursorY = y;
    sampled = true;
    const int button = slot(GLFW_MOUSE_BUTTON_LEFT);
    clickStarted = keyDown[button] && !keyWasDown[button];
    clickEnded = !keyDown[button] && keyWasDown[button];
}

void MenuInput::resync(bool focused, bool duringPlay)
{
    update(focused, duringPlay);
    update(focused, duringPlay);
    clickStarted = false;
    clickEnded = false;
    cursorMoved = false;
}

bool MenuInput::released(int code) const
{
    const int i = slot(code);
    return i >= 0 && keyWasDown[static_cast<std::size_t>(i)] && !keyDown[static_cast<std::size_t>(i)];
}

bool MenuInput::held(int code) const
{
    const int i = slot(code);
    return i >= 0 && keyDown[static_cast<std::size_t>(i)];
}

bool MenuInput::padReleased(int button) const
{
    const auto b = static_cast<std::size_t>(button);
    return pad.connected && padBefore.buttons[b] && !pad.buttons[b];
}

bool MenuInput::stickTipped(int axis, float direction) const
{
    if (!pad.connected)
        return false;
    const auto a = static_cast<std::size_t>(axis);
    return pad.axes[a] * direction >= stickTip && padBefore.axes[a] * direction < stickTip;
}

bool MenuInput::up() const
{
    return released(GLFW_KEY_UP) || released(GLFW_KEY_W) || padReleased(GLFW_GAMEPAD_BUTTON_DPAD_UP) ||
           stickTipped(GLFW_GAMEPAD_AXIS_LEFT_Y, -1.0f);
}

bool MenuInput::down() const
{
    return released(GLFW_KEY_DOWN) || released(GLFW_KEY_S) || padReleased(GLFW_GAMEPAD_BUTTON_DPAD_DOWN) ||
           stickTipped(GLFW_GAMEPAD_AXIS_LEFT_Y, 1.0f);
}

bool MenuInput::left() const
{
    return released(GLFW_KEY_LEFT) || released(GLFW_KEY_A) || padReleased(GLFW_GAMEPAD_BUTTON_DPAD_LEFT) ||
           stickTipped(GLFW_GAMEPAD_AXIS_LEFT_X, -1.0f);
}

bool MenuInput::right() const
{
    return released(GLFW_KEY_RIGHT) || released(GLFW_KEY_D) || padReleased(GLFW_GAMEPAD_BUTTON_DPAD_RIGHT) ||
           stickTipped(GLFW_GAMEPAD_AXIS_LEFT_X, 1.0f);
}

bool MenuInput::choose() const
{
    return released(GLFW_KEY_ENTER) || released(GLFW_KEY_KP_ENTER) || released(GLFW_KEY_SPACE) ||
           padReleased(GLFW_GAMEPAD_BUTTON_A);
}

bool MenuInput::back() const
{
    return released(GLFW_KEY_ESCAPE) || released(GLFW_KEY_BACKSPACE) || padReleased(GLFW_GAMEPAD_BUTTON_B);
}

bool MenuInput::resume() const
{
    return released(GLFW_KEY_P) || padReleased(GLFW_GAMEPAD_BUTTON_START);
}
