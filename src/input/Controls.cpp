#include "input/Controls.h"

#include "files/Translation.h"
#include "text/Utf8.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <cctype>
#include <utility>

namespace {

// The bindable actions. The wheel, F12 and the pad are fixed; a key of the player's adds to them.
constexpr std::array<ActionInfo, actionCount> table{{
    {Action::Forward, "key_forward", N_("FORWARD"), N_("fly faster"), GLFW_KEY_W, "", N_("right trigger or A")},
    {Action::Stop, "key_stop", N_("STOP"), N_("stop flying forward"), GLFW_KEY_S, "", N_("left trigger or B")},
    {Action::Left, "key_left", N_("LEFT"), N_("move left"), GLFW_KEY_A, "", N_("left stick left")},
    {Action::Right, "key_right", N_("RIGHT"), N_("move right"), GLFW_KEY_D, "", N_("left stick right")},
    {Action::Up, "key_up", N_("UP"), N_("move up"), GLFW_KEY_SPACE, "", N_("left stick up")},
    {Action::Down, "key_down", N_("DOWN"), N_("move down"), GLFW_KEY_LEFT_SHIFT, "", N_("left stick down")},
    {Action::CameraCloser, "key_camera_closer", N_("CAMERA CLOSER"), N_("camera closer, down to first person"), noKey,
     N_("mouse wheel up"), N_("left shoulder")},
    {Action::CameraFarther, "key_camera_farther", N_("CAMERA FARTHER"), N_("camera farther"), noKey,
     N_("mouse wheel down"), N_("right shoulder")},
    {Action::Pause, "key_pause", N_("PAUSE"), N_("pause / resume"), GLFW_KEY_P, "", N_("Start")},
    {Action::Restart, "key_restart", N_("RESTART"), N_("restart after the game is over"), GLFW_KEY_ENTER, "", N_("A")},
    {Action::Mute, "key_mute", N_("MUTE"), N_("sound off / on"), GLFW_KEY_M, "", ""},
    {Action::Screenshot, "key_screenshot", N_("SCREENSHOT"), N_("screenshot"), noKey, "F12", ""},
}};

// What no binding changes. The README's rows say more than the pause screen has room for.
struct FixedControl {
    const char* input;
    const char* meaning;
    const char* readme;
    const char* pad;
};

constexpr FixedControl fixedControls[] = {
    {N_("mouse"), N_("turn the view"), "turn the view (and with it the direction of flight)", N_("right stick")},
    {"F11", N_("full screen on / off"), "", ""},
    {"F2", N_("wireframe on / off"), "", ""},
    {"F3", N_("frame rate on / off"), "", ""},
    {"F4", N_("read the settings again"),
     "re-read `assets/config.txt` and `~/.config/quillfen/config.txt` (window size, field of view, ...)", ""},
    {"F5", N_("reload the shaders"), "", ""},
    {"F6", N_("HUD on / off"), "", ""},
    {"ESCAPE", N_("quit"), "", ""},
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
    {GLFW_KEY_SPACE, NC_("key", "SPACE")},
    {GLFW_KEY_APOSTROPHE, NC_("key", "APOSTROPHE")},
    {GLFW_KEY_COMMA, NC_("key", "COMMA")},
    {GLFW_KEY_MINUS, NC_("key", "MINUS")},
    {GLFW_KEY_PERIOD, NC_("key", "PERIOD")},
    {GLFW_KEY_SLASH, NC_("key", "SLASH")},
    {GLFW_KEY_SEMICOLON, NC_("key", "SEMICOLON")},
    {GLFW_KEY_EQUAL, NC_("key", "EQUAL")},
    {GLFW_KEY_LEFT_BRACKET, NC_("key", "LEFT BRACKET")},
    {GLFW_KEY_BACKSLASH, NC_("key", "BACKSLASH")},
    {GLFW_KEY_RIGHT_BRACKET, NC_("key", "RIGHT BRACKET")},
    {GLFW_KEY_GRAVE_ACCENT, NC_("key", "GRAVE ACCENT")},
    {GLFW_KEY_WORLD_1, NC_("key", "WORLD 1")},
    {GLFW_KEY_WORLD_2, NC_("key", "WORLD 2")},
    {GLFW_KEY_ESCAPE, NC_("key", "ESCAPE")},
    {GLFW_KEY_ENTER, NC_("key", "ENTER")},
    {GLFW_KEY_TAB, NC_("key", "TAB")},
    {GLFW_KEY_BACKSPACE, NC_("key", "BACKSPACE")},
    {GLFW_KEY_INSERT, NC_("key", "INSERT")},
    {GLFW_KEY_DELETE, NC_("key", "DELETE")},
    {GLFW_KEY_RIGHT, NC_("key", "RIGHT")},
    {GLFW_KEY_LEFT, NC_("key", "LEFT")},
    {GLFW_KEY_DOWN, NC_("key", "DOWN")},
    {GLFW_KEY_UP, NC_("key", "UP")},
    {GLFW_KEY_PAGE_UP, NC_("key", "PAGE UP")},
    {GLFW_KEY_PAGE_DOWN, NC_("key", "PAGE DOWN")},
    {GLFW_KEY_HOME, NC_("key", "HOME")},
    {GLFW_KEY_END, NC_("key", "END")},
    {GLFW_KEY_CAPS_LOCK, NC_("key", "CAPS LOCK")},
    {GLFW_KEY_SCROLL_LOCK, NC_("key", "SCROLL LOCK")},
    {GLFW_KEY_NUM_LOCK, NC_("key", "NUM LOCK")},
    {GLFW_KEY_PRINT_SCREEN, NC_("key", "PRINT SCREEN")},
    {GLFW_KEY_PAUSE, NC_("key", "PAUSE")},
    {GLFW_KEY_KP_DECIMAL, NC_("key", "KEYPAD DECIMAL")},
    {GLFW_KEY_KP_DIVIDE, NC_("key", "KEYPAD DIVIDE")},
    {GLFW_KEY_KP_MULTIPLY, NC_("key", "KEYPAD MULTIPLY")},
    {GLFW_KEY_KP_SUBTRACT, NC_("key", "KEYPAD SUBTRACT")},
    {GLFW_KEY_KP_ADD, NC_("key", "KEYPAD ADD")},
    {GLFW_KEY_KP_ENTER, NC_("key", "KEYPAD ENTER")},
    {GLFW_KEY_KP_EQUAL, NC_("key", "KEYPAD EQUAL")},
    {GLFW_KEY_LEFT_SHIFT, NC_("key", "LEFT SHIFT")},
    {GLFW_KEY_LEFT_CONTROL, NC_("key", "LEFT CONTROL")},
    {GLFW_KEY_LEFT_ALT, NC_("key", "LEFT ALT")},
    {GLFW_KEY_LEFT_SUPER, NC_("key", "LEFT SUPER")},
    {GLFW_KEY_RIGHT_SHIFT, NC_("key", "RIGHT SHIFT")},
    {GLFW_KEY_RIGHT_CONTROL, NC_("key", "RIGHT CONTROL")},
    {GLFW_KEY_RIGHT_ALT, NC_("key", "RIGHT ALT")},
    {GLFW_KEY_RIGHT_SUPER, NC_("key", "RIGHT SUPER")},
    {GLFW_KEY_MENU, NC_("key", "MENU")},
};

KeyboardLayout keyboardLayout = nullptr;

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

// "W", "mouse wheel up", or both as "W or mouse wheel up": in English with the US keyboard's
// names for the README, or as the player's screen says it (their language and keyboard).
std::string inputsOf(const Controls& controls, const ActionInfo& info, bool forPlayer)
{
    const int key = controls.key(info.action);
    const std::string keys = key == noKey ? "" : forPlayer ? keyLabel(key) : keyName(key);
    if (info.fixedInput[0] == '\0')
        return keys;
    const char* fixed = forPlayer ? translate(info.fixedInput) : info.fixedInput;
    if (keys.empty())
        return fixed;
    return forPlayer ? formatText(_("%s or %s"), keys.c_str(), fixed) : keys + " or " + fixed;
}

// A help line: "W OR MOUSE WHEEL UP / RIGHT TRIGGER OR A: FLY FASTER", in capitals.
std::string helpLine(std::string inputs, const char* pad, const char* meaning)
{
    if (pad[0] != '\0')
        inputs += inputs.empty() ? translate(pad) : std::string(" / ") + translate(pad);
    // TRANSLATORS: a line of the controls' help: the keys and buttons, then what they do.
    return upperCase(formatText(_("%s: %s"), inputs.c_str(), translate(meaning)));
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

void useKeyboardLayout(KeyboardLayout layout)
{
    keyboardLayout = layout;
}

std::string keyLabel(int key)
{
    // The keys that type a character are named by what the player's keyboard types with them: a
    // letter in capitals, any other sign as it is. A sign the key types on a US keyboard too keeps
    // its spelt-out name (a lone "," is easily missed on the screen).
    const bool printable = (key >= GLFW_KEY_APOSTROPHE && key <= GLFW_KEY_GRAVE_ACCENT) || key == GLFW_KEY_WORLD_1 ||
                           key == GLFW_KEY_WORLD_2;
    if (keyboardLayout && printable) {
        const char* typed = keyboardLayout(key);
        const std::u32string characters = decodeUtf8(typed ? typed : "");
        if (characters.size() == 1 && characters[0] > U' ' && characters[0] != 0x7F) {
            const char32_t c = characters[0];
            const bool letter = c >= 0xC0 || (c < 0x80 && std::isalnum(static_cast<int>(c)));
            // A printable key's code is the character it types on a US keyboard.
            if (letter || c != static_cast<char32_t>(key))
                return upperCase(typed);
        }
    }
    if (key == noKey)
        return C_("key", "NONE");
    if (key >= GLFW_KEY_KP_0 && key <= GLFW_KEY_KP_9)
        return formatText(C_("key", "KEYPAD %d"), key - GLFW_KEY_KP_0);
    for (const auto& [code, english] : namedKeys)
        if (code == key)
            return C_("key", english);
    // Letters, digits and F keys are the same in every language.
    return keyName(key);
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
        const std::string inputs = inputsOf(controls, info, true);
        if (!inputs.empty() || info.pad[0] != '\0')
            lines.push_back(helpLine(inputs, info.pad, info.meaning));
    }
    for (const FixedControl& fixed : fixedControls) {
        // A key by the name the player's keyboard gives it; the mouse by its word.
        const std::optional<int> key = keyOfName(fixed.input);
        lines.push_back(helpLine(key ? keyLabel(*key) : translate(fixed.input), fixed.pad, fixed.meaning));
    }
    return lines;
}

std::string keyboardControlsMarkdown()
{
    const Controls defaults;
    std::string out = "| Key | Action |\n|---|---|\n";
    out += std::string("| ") + fixedControls[0].input + " | " + fixedControls[0].readme + " |\n";
    for (const ActionInfo& info : table)
        out += "| " + inputsOf(defaults, info, false) + " | " + readmeMeaning(info.action) + " |\n";
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
