#pragma once

#include "app/InputDevice.h"
#include "scene/GameObject.h"

#include <map>
#include <memory>
#include <vector>

struct GLFWwindow;

// Key states kept per watched key.
constexpr int KEY_HELD = 0;     // pressed at the last sample
constexpr int KEY_UP = 1;       // not pressed, released more than a frame ago
constexpr int KEY_RELEASED = 2; // went from pressed to not pressed at this frame's sample

// Pseudo-keys written only by the scroll callback (GLFW's codes for Tab and Backspace,
// which the game does not watch on the keyboard).
constexpr int SCROLL_UP = 258;
constexpr int SCROLL_DOWN = 259;

// Per-frame keyboard, mouse and gamepad state with edge detection, mouse movement measured
// from the window centre, and the feature toggles.
class GameInput final : public IUpdate {
public:
    explicit GameInput(GLFWwindow* window);
    explicit GameInput(std::unique_ptr<InputDevice> device);

    void update(Game* game) override;

    // Called by the scroll callback between two updates.
    void onScroll(double yOffset);

    // For frames in which the window has no focus and nothing is sampled: every key counts
    // as let go without acting (its release may never reach us), a release already acted
    // upon does not act again, and the mouse and the pad rest.
    void settle();

    // Paused: the cursor is shown and free and the mouse turns nothing. Playing: hidden, put
    // back to the window centre at once, so the first movement is measured from there.
    void releaseCursor();
    void captureCursor();

    // Keyboard and gamepad together; a key is a full deflection. Sideways + right, vertical
    // + up (both -1..1); faster and stop 0..1.
    float sideways() const;
    float vertical() const;
    float faster() const;
    float stop() const;

    int state(int code) const;
    bool held(int code) const { return state(code) == KEY_HELD; }
    bool released(int code) const { return state(code) == KEY_RELEASED; }

    bool restartPressed = false;
    std::map<int, int> keyStates;
    std::vector<int> watchedKeys;
    double mouseDeltaX = 0.0;
    double mouseDeltaY = 0.0;
    bool quitToggle = false;
    bool wireframe = false;
    bool showFps = true;
    bool showHud = true;
    // M: all sound off.
    bool muted = false;
    // P or the pad's Start let go in this frame.
    bool pauseRequested = false;
    // The gamepad went away at this frame's sample.
    bool gamepadLost = false;
    // The pad as sampled this frame, and what it asks of the game.
    GamepadState gamepad;
    GamepadControls pad;

private:
    std::unique_ptr<InputDevice> device;
    bool captured = true;
};
