#include "app/Controls.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <cctype>
#include <utility>

namespace {

// The bindable actions. The wheel, F12 and the pad are fixed; a key of the player's adds to them.
constexpr std::array<ActionInfo, actionCount> table{{
    {Action::Forward, "key_forward", "FORWARD", "fly faster", GLFW_KEY_W, "", "right trigger or A"},
    {Action::Stop, "key_stop", "STOP", "stop flying forward", GLFW_KEY_S, "", "left trigger or B"},
    {Action::Left, "key_left", "LEFT", "move left", GLFW_KEY_A, "", "left stick left"},
    {Action::Right, "key_right", "RIGHT", "move right", GLFW_KEY_D, "", "left stick right"},
    {Action::Up, "key_up", "UP", "move up", GLFW_KEY_SPACE, "", "left stick up"},
    {Action::Down, "key_down", "DOWN", "move down", GLFW_KEY_LEFT_SHIFT, "", "left stick down"},
    {Action::CameraCloser, "key_camera_closer", "CAMERA CLOSER", "camera closer, down to first person", noKey,
     "mouse wheel up", "left shoulder"},
    {Action::CameraFarther, "key_camera_farther", "CAMERA FARTHER", "camera farther", noKey, "mouse wheel down",
     "right shoulder"},
    {Action::Pause, "key_pause", "PAUSE", "pause / resume", GLFW_KEY_P, "", "Start"},
    {Action::Restart, "key_restart", "RESTART", "restart after the game is over", GLFW_KEY_ENTER, "", "A"},
    {Action::Mute, "key_mute", "MUTE", "sound off / on", GLFW_KEY_M, "", ""},
    {Action::Screenshot, "key_screenshot", "SCREENSHOT", "screenshot", noKey, "F12", ""},
}};

// What no binding changes. The README's rows say more than the pause screen has room for.
struct FixedControl {
    const char* input;
    const char* meaning;
    const char* readme;
    const char* pad;
};

constexpr FixedControl fixedControls[] = {
    {"mouse", "turn the view", "turn the view (and with it the direction of flight)", "right stick"},
    {"F11", "full screen on / off", "", ""},
    {"F2", "wireframe on / off", "", ""},
    {"F3", "frame rate on / off", "", ""},
    {"F4", "read the settings again",
     "re-read `assets/config.txt` and `~/.config/quillfen/config.txt` (window size, field of view, ...)", ""},
    {"F5", "reload the shaders", "", ""},
    {"F6", "HUD on / off", "", ""},
    {"ESCAPE", "quit", "", ""},
};

// The README says more than the help line of some actions.
const char* readmeMeaning(Action action)
{
    switch (action) {
    case Action::Pause:
        return "pause menu / resume";
    case Action::Mute:
        return "sound off / on (the HUD says \"SOUND OFF\" / \"SOUND ON\")";
    case Action::Screenshot:
        return "screenshot: saved as a PNG under `~/.local/share/quillfen/screenshots/`, path printed";
    default:
        return actionInfo(action).meaning;
    }
}

// US layout names; printable keys by what they are called, so that a line of config.txt never
// holds a "/" or an "=" of its own.
constexpr std::pair<int, const char*> namedKeys[] = {
    {GLFW_KEY_SPACE, "SPACE"},
    {GLFW_KEY_APOSTROPHE, "APOSTROPHE"},
    {GLFW_KEY_COMMA, "COMMA"},
    {GLFW_KEY_MINUS, "MINUS"},
    {GLFW_KEY_PERIOD, "PERIOD"},
    {GLFW_KEY_SLASH, "SLASH"},
    {GLFW_KEY_SEMICOLON, "SEMICOLON"},
    {GLFW_KEY_EQUAL, "EQUAL"},
    {GLFW_KEY_LEFT_BRACKET, "LEFT BRACKET"},
    {GLFW_KEY_BACKSLASH, "BACKSLASH"},
    {GLFW_KEY_RIGHT_BRACKET, "RIGHT BRACKET"},
    {GLFW_KEY_GRAVE_ACCENT, "GRAVE ACCENT"},
    {GLFW_KEY_WORLD_1, "WORLD 1"},
    {GLFW_KEY_WORLD_2, "WORLD 2"},
    {GLFW_KEY_ESCAPE, "ESCAPE"},
    {GLFW_KEY_ENTER, "ENTER"},
    {GLFW_KEY_TAB, "TAB"},
    {GLFW_KEY_BACKSPACE, "BACKSPACE"},
    {GLFW_KEY_INSERT, "INSERT"},
    {GLFW_KEY_DELETE, "DELETE"},
    {GLFW_KEY_RIGHT, "RIGHT"},
    {GLFW_KEY_LEFT, "LEFT"},
    {GLFW_KEY_DOWN, "DOWN"},
    {GLFW_KEY_UP, "UP"},
    {GLFW_KEY_PAGE_UP, "PAGE UP"},
    {GLFW_KEY_PAGE_DOWN, "PAGE DOWN"},
    {GLFW_KEY_HOME, "HOME"},
    {GLFW_KEY_END, "END"},
    {GLFW_KEY_CAPS_LOCK, "CAPS LOCK"},
    {GLFW_KEY_SCROLL_LOCK, "SCROLL LOCK"},
    {GLFW_KEY_NUM_LOCK, "NUM LOCK"},
    {GLFW_KEY_PRINT_SCREEN, "PRINT SCREEN"},
    {GLFW_KEY_PAUSE, "PAUSE"},
    {GLFW_KEY_KP_DECIMAL, "KEYPAD DECIMAL"},
    {GLFW_KEY_KP_DIVIDE, "KEYPAD DIVIDE"},
    {GLFW_KEY_KP_MULTIPLY, "KEYPAD MULTIPLY"},
    {GLFW_KEY_KP_SUBTRACT, "KEYPAD SUBTRACT"},
    {GLFW_KEY_KP_ADD, "KEYPAD ADD"},
    {GLFW_KEY_KP_ENTER, "KEYPAD ENTER"},
    {GLFW_KEY_KP_EQUAL, "KEYPAD EQUAL"},
    {GLFW_KEY_LEFT_SHIFT, "LEFT SHIFT"},
    {GLFW_KEY_LEFT_CONTROL, "LEFT CONTROL"},
    {GLFW_KEY_LEFT_ALT, "LEFT ALT"},
    {GLFW_KEY_LEFT_SUPER, "LEFT SUPER"},
    {GLFW_KEY_RIGHT_SHIFT, "RIGHT SHIFT"},
    {GLFW_KEY_RIGHT_CONTROL, "RIGHT CONTROL"},
    {GLFW_KEY_RIGHT_ALT, "RIGHT ALT"},
    {GLFW_KEY_RIGHT_SUPER, "RIGHT SUPER"},
    {GLFW_KEY_MENU, "MENU"},
};

bool functionKey(int key)
{
    return key >= GLFW_KEY_F1 && key <= GLFW_KEY_F25;
}

// Upper case without spaces: how names are compared.
std::string folded(const std::string& name)
{
    std::string out;
    for (char c : name)
        if (!std::isspace(static_cast<unsigned char>(c)))
            out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// "W", "mouse wheel up", or both as "W or mouse wheel up".
std::string inputsOf(const Controls& controls, const ActionInfo& info)
{
    std::string keys = controls.key(info.action) == noKey ? "" : keyName(controls.key(info.action));
    if (info.fixedInput[0] != '\0')
        keys += keys.empty() ? info.fixedInput : std::string(" or ") + info.fixedInput;
    return keys;
}

} // namespace

const std::array<ActionInfo, actionCount>& actionTable()
{
    return table;
}

const ActionInfo& actionInfo(Action action)
{
    return table[static_cast<std::size_t>(action)];
}

std::optional<Action> actionOfConfigKey(const std::string& configKey)
{
    for (const ActionInfo& info : table)
        if (configKey == info.configKey)
            return info.action;
    return std::nullopt;
}

Controls::Controls()
{
    for (const ActionInfo& info : table)
        keys[static_cast<std::size_t>(info.action)] = info.defaultKey;
}

std::optional<Action> Controls::actionOf(int key) const
{
    if (key == noKey)
        return std::nullopt;
    for (std::size_t i = 0; i < actionCount; ++i)
        if (keys[i] == key)
            return static_cast<Action>(i);
    return std::nullopt;
}

Controls::Bound Controls::bind(Action action, int key)
{
    Bound result;
    if (key != noKey && !bindableKey(key))
        return result;
    result.accepted = true;
    const std::optional<Action> holder = actionOf(key);
    if (holder && *holder != action) {
        keys[static_cast<std::size_t>(*holder)] = this->key(action);
        result.swappedWith = holder;
    }
    keys[static_cast<std::size_t>(action)] = key;
    return result;
}

std::vector<int> Controls::codes() const
{
    return std::vector<int>(keys.begin(), keys.end());
}

std::optional<Controls> Controls::fromCodes(const std::vector<int>& codes)
{
    if (codes.size() != actionCount)
        return std::nullopt;
    Controls controls;
    for (std::size_t i = 0; i < actionCount; ++i) {
        const int key = codes[i];
        if (key != noKey && (!bindableKey(key) || std::count(codes.begin(), codes.end(), key) > 1))
            return std::nullopt;
        controls.keys[i] = key;
    }
    return controls;
}

Controls& playerControls()
{
    static Controls controls;
    return controls;
}

void resetControls()
{
    playerControls().reset();
}

bool bindableKey(int key)
{
    return key != GLFW_KEY_ESCAPE && !functionKey(key) && !keyName(key).empty() && key != noKey;
}

std::string keyName(int key)
{
    if (key == noKey)
        return "NONE";
    if ((key >= GLFW_KEY_A && key <= GLFW_KEY_Z) || (key >= GLFW_KEY_0 && key <= GLFW_KEY_9))
        return std::string(1, static_cast<char>(key));
    if (functionKey(key))
        return std::string("F").append(std::to_string(key - GLFW_KEY_F1 + 1));
    if (key >= GLFW_KEY_KP_0 && key <= GLFW_KEY_KP_9)
        return std::string("KEYPAD ").append(std::to_string(key - GLFW_KEY_KP_0));
    for (const auto& [code, name] : namedKeys)
        if (code == key)
            return name;
    return "";
}

std::optional<int> keyOfName(const std::string& name)
{
    const std::string wanted = folded(name);
    if (wanted.empty())
        return std::nullopt;
    // Every key with a name is in one of these ranges; a short walk beats a second table.
    for (int key = GLFW_KEY_SPACE; key <= GLFW_KEY_LAST; ++key) {
        const std::string known = keyName(key);
        if (!known.empty() && folded(known) == wanted)
            return key;
    }
    if (wanted == "NONE")
        return noKey;
    return std::nullopt;
}

std::vector<std::string> controlsHelpLines(const Controls& controls)
{
    std::vector<std::string> lines;
    for (const ActionInfo& info : table) {
        std::string inputs = inputsOf(controls, info);
        if (info.pad[0] != '\0')
            inputs += inputs.empty() ? info.pad : std::string(" / ") + info.pad;
        if (!inputs.empty())
            lines.push_back(upper(inputs + ": " + info.meaning));
    }
    for (const FixedControl& fixed : fixedControls) {
        std::string inputs = fixed.input;
        if (fixed.pad[0] != '\0')
            inputs += std::string(" / ") + fixed.pad;
        lines.push_back(upper(inputs + ": " + fixed.meaning));
    }
    return lines;
}

std::string keyboardControlsMarkdown()
{
    const Controls defaults;
    std::string out = "| Key | Action |\n|---|---|\n";
    out += std::string("| ") + fixedControls[0].input + " | " + fixedControls[0].readme + " |\n";
    for (const ActionInfo& info : table)
        out += "| " + inputsOf(defaults, info) + " | " + readmeMeaning(info.action) + " |\n";
    for (const FixedControl& fixed : fixedControls) {
        if (&fixed == &fixedControls[0])
            continue;
        out += std::string("| ") + fixed.input + " | " + (fixed.readme[0] != '\0' ? fixed.readme : fixed.meaning) +
               " |\n";
    }
    return out;
}

std::string gamepadControlsMarkdown()
{
    std::string out = "| Gamepad | Action |\n|---|---|\n";
    for (const FixedControl& fixed : fixedControls)
        if (fixed.pad[0] != '\0')
            out += std::string("| ") + fixed.pad + " | " + fixed.meaning + " |\n";
    for (const ActionInfo& info : table)
        if (info.pad[0] != '\0')
            out += std::string("| ") + info.pad + " | " + info.meaning + " |\n";
    return out;
}
