#pragma once

#include "input/Controls.h"
#include "input/InputDevice.h"
#include "scene/GameObject.h"

#include <map>
#include <memory>
#include <vector>

struct GLFWwindow;

// Key states kept per watched key.
constexpr int KEY_HELD = 0;     // pressed at the last sample
constexpr int KEY_UP = 1;       // not pressed, released more than a frame ago
constexpr int KEY_RELEASED = 2; // went from pressed to not pressed at this frame's sample

// Pseudo-keys written only by the scroll callback (and the camera's keys and pad buttons),
// numbered past GLFW's last key so that every real key stays free to be bound.
constexpr int SCROLL_UP = 349;
constexpr int SCROLL_DOWN = 350;

// Per-frame keyboard, mouse and gamepad state with edge detection, mouse movement measured
// from the window centre, and the feature toggles. The keys are those of the bindings it was
// made with (the player's by default; a replay's own), kept as a value.
class GameInput final {
public:
    explicit GameInput(GLFWwindow* window, const Controls& controls = playerControls());
    explicit GameInput(std::unique_ptr<InputDevice> device, const Controls& controls = playerControls());

    // New bindings from now on; keys still bound keep their state, newly watched ones start up.
    void setControls(const Controls& controls);
    const Controls& controls() const { return bindings; }

    // Samples the device: key edges, mouse travel from the centre, the pad, the toggles.
    void update();

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

    std::map<int, int> keyStates;
    std::vector<int> watchedKeys;
    double mouseDeltaX = 0.0;
    double mouseDeltaY = 0.0;
    bool quitToggle = false;
    bool wireframe = false;
    // F3; starts as the show_frame_rate setting says.
    bool showFps = true;
    bool showHud = true;
    // The mute key: all sound off.
    bool muted = false;
    // The pause key or the pad's Start let go in this frame.
    bool pauseRequested = false;
    // F12 or the screenshot key let go in this frame.
    bool screenshotRequested = false;
    // The gamepad went away at this frame's sample.
    bool gamepadLost = false;
    // The pad as sampled this frame, and what it asks of the game.
    GamepadState gamepad;
    GamepadControls pad;

private:
    int boundKey(Action action) const { return bindings.key(action); }
    float keyAmount(Action action) const { return held(boundKey(action)) ? 1.0f : 0.0f; }

    std::unique_ptr<InputDevice> device;
    Controls bindings;
    bool captured = true;
};
