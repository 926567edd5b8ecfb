#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// What the player does with the keyboard and the gamepad, in the order the controls screen,
// the help text and the README list it.
enum class Action {
    Forward,
    Stop,
    Left,
    Right,
    Up,
    Down,
    CameraCloser,
    CameraFarther,
    Pause,
    Restart,
    Mute,
    Screenshot,
};
inline constexpr std::size_t actionCount = static_cast<std::size_t>(Action::Screenshot) + 1;

// An action without a key of its own (the camera keeps the mouse wheel, the screenshot F12).
inline constexpr int noKey = -1;

// One row of the controls table.
struct ActionInfo {
    Action action;
    const char* configKey;   // "key_forward": its line in config.txt
    const char* label;       // "FORWARD": its name on the controls screen
    const char* meaning;     // "fly faster": what it does, for the help text
    int defaultKey;          // a GLFW key code, or noKey
    const char* fixedInput;  // what also does it and cannot be rebound ("mouse wheel up", "F12"), or ""
    const char* pad;         // the gamepad's way to do it ("right trigger or A"), or ""
};

// The table, in Action order.
const std::array<ActionInfo, actionCount>& actionTable();
const ActionInfo& actionInfo(Action action);
// The action of that config key ("key_pause"), or nothing.
std::optional<Action> actionOfConfigKey(const std::string& configKey);

// The key bound to each action: a plain value, so that a game keeps the bindings it started
// with (a replay plays by the bindings it was recorded under) while the player changes theirs.
class Controls {
public:
    // The defaults.
    Controls();

    int key(Action action) const { return keys[static_cast<std::size_t>(action)]; }
    // The action bound to that key, or nothing.
    std::optional<Action> actionOf(int key) const;

    // What bind() did.
    struct Bound {
        bool accepted = false;
        // The action that held the key before, which now has the key `action` had.
        std::optional<Action> swappedWith;
    };
    // Binds `key` to `action`. A key bound to another action swaps with it; Escape, the F keys
    // and keys without a name are refused and change nothing. noKey unbinds the action.
    Bound bind(Action action, int key);
    void reset() { *this = Controls(); }

    // The keys in Action order, for a replay's header, and back. fromCodes refuses a list of
    // another length, an unknown or unbindable code, or a key given to two actions.
    std::vector<int> codes() const;
    static std::optional<Controls> fromCodes(const std::vector<int>& codes);

    bool operator==(const Controls&) const = default;

private:
    std::array<int, actionCount> keys;
};

// The player's bindings: what config.txt says (key_forward = W, ...), what the controls screen
// changes and what a new GameInput takes.
Controls& playerControls();
void resetControls();

// True for a key the controls screen may give to an action: any named key but Escape and the F keys.
bool bindableKey(int key);

// Key names as a US keyboard shows them ("W", "SPACE", "LEFT SHIFT", "ENTER", "UP", "F12"),
// also the names config.txt uses; "NONE" for noKey, "" for a code without a name.
std::string keyName(int key);
// How the player's keyboard labels a key that types a character (GLFW's glfwGetKeyName): given
// once the window system runs. Without it, every key is named as on a US keyboard.
using KeyboardLayout = const char* (*)(int key);
void useKeyboardLayout(KeyboardLayout layout);
// A key's name on the player's screen: what their keyboard types with it ("Z" for GLFW_KEY_Y on
// a German keyboard, "Ü" for its "[", "-" for its "/"), any other key (and a sign typed as on a
// US keyboard) by its name in their language.
std::string keyLabel(int key);
// The code of a name, ignoring case and spaces ("left shift", "LeftShift"); nothing when unknown.
std::optional<int> keyOfName(const std::string& name);

// The help text, one line per row ("W: FLY FASTER", ...), the bound keys first, then the fixed ones.
std::vector<std::string> controlsHelpLines(const Controls& controls);
// The README's two Controls tables (keyboard and mouse; gamepad), as Markdown, for the defaults.
std::string keyboardControlsMarkdown();
std::string gamepadControlsMarkdown();
