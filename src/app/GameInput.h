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

// Per-frame keyboard and mouse state with edge detection, mouse movement measured from
// the window centre, and the feature toggles.
class GameInput : public IUpdate {
public:
    explicit GameInput(GLFWwindow* window);
    explicit GameInput(std::unique_ptr<InputDevice> device);

    void update(Game* game) override;

    // Called by the scroll callback between two updates.
    void onScroll(double yOffset);

    // For frames in which the window has no focus and nothing is sampled: a release that
    // was already acted upon settles to KEY_UP, so no action fires twice.
    void settle();

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

private:
    std::unique_ptr<InputDevice> device;
};
