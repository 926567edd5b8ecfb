#include "files/Config.h"

#include "files/Files.h"
#include "files/Translation.h"
#include "files/UserFolders.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <system_error>

// Each setting starts at its default, taken from the one table below.
float fullscreen;
float window_width;
float window_height;
float refresh_rate;
float sensitivity;
float moveSensitivity;
float fov;
float brightness;
float shadowmap_resolution_factor;
float render_scale;
float difficulty;
float sound_volume;
float music_volume;
float invert_mouse;
float vsync;
float show_frame_rate;
std::string language;
std::string player_name;

namespace {

// A real configuration is a few hundred bytes; anything this large is not one.
constexpr std::uintmax_t maxConfigBytes = 1024 * 1024;

bool isValueChar(char c)
{
    return std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == 'f';
}

// The lines of a text, without their line ends; a last line without one counts too.
std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        auto end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// A line without its comment and its white space ("fov=60"), as the rules read it.
std::string compactLine(std::string line)
{
    const auto comment = line.find("//");
    if (comment != std::string::npos)
        line.erase(comment);
    std::string compact;
    compact.reserve(line.size());
    for (char c : line)
        if (!std::isspace(static_cast<unsigned char>(c)))
            compact += c;
    return compact;
}

// The key a line sets, or "" for a comment, a blank or a line without "=".
std::string keyOfLine(const std::string& line)
{
    const std::string compact = compactLine(line);
    const auto equals = compact.find('=');
    return equals == std::string::npos ? std::string() : compact.substr(0, equals);
}

// A word setting's value as written, spaces inside kept ("player_name = Ada Lovelace").
std::string textValueOfLine(std::string line)
{
    const auto comment = line.find("//");
    if (comment != std::string::npos)
        line.erase(comment);
    line.erase(0, line.find('=') + 1);
    const auto first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    return line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
}

void applyLine(const std::string& line)
{
    const std::string compact = compactLine(line);
    if (compact.empty())
        return;
    if (std::string* text = findTextSetting(keyOfLine(line))) {
        *text = textValueOfLine(line);
        return;
    }

    const auto equals = compact.find('=');
    if (equals == std::string::npos)
        return;
    const std::string key = compact.substr(0, equals);
    const std::string value = compact.substr(equals + 1);

    if (const std::optional<Action> action = actionOfConfigKey(key)) {
        const std::optional<int> code = keyOfName(value);
        if (!code || !playerControls().bind(*action, *code).accepted)
            logMessage("Config: '" + compact + "' contains a bad value and will be skipped");
        return;
    }
    const Setting* setting = findSetting(key);
    if (!setting) {
        logMessage("Config: '" + compact + "' contains a unknown key and will be skipped");
        return;
    }
    for (char c : value) {
        if (!isValueChar(c)) {
            logMessage("Config: '" + compact + "' contains a bad value and will be skipped");
            return;
        }
    }
    // A number too large for a float would turn the setting into infinity, which no user can take.
    const double number = std::atof(value.c_str());
    if (!std::isfinite(static_cast<float>(number))) {
        logMessage("Config: '" + compact + "' contains a bad value and will be skipped");
        return;
    }
    *setting->value = static_cast<float>(number);
}

} // namespace

const std::vector<Setting>& settings()
{
    static const std::vector<Setting> table = {
        {"fullscreen", &fullscreen, 0.0f},
        {"window_width", &window_width, 1000.0f},
        {"window_height", &window_height, 750.0f},
        {"refresh_rate", &refresh_rate, 144.0f},
        {"sensitivity", &sensitivity, 0.08f},
        {"moveSensitivity", &moveSensitivity, 50.0f},
        {"fov", &fov, 60.0f},
        {"brightness", &brightness, 0.1f},
        {"shadowmap_resolution_factor", &shadowmap_resolution_factor, 2.0f},
        {"render_scale", &render_scale, 0.0f},
        {"difficulty", &difficulty, 0.5f},
        {"sound_volume", &sound_volume, 0.8f},
        {"music_volume", &music_volume, 0.5f},
        {"invert_mouse", &invert_mouse, 0.0f},
        {"vsync", &vsync, 0.0f},
        {"show_frame_rate", &show_frame_rate, 1.0f},
    };
    return table;
}

const Setting* findSetting(const std::string& key)
{
    for (const Setting& setting : settings())
        if (key == setting.key)
            return &setting;
    return nullptr;
}

std::string* findTextSetting(const std::string& key)
{
    if (key == "language")
        return &language;
    if (key == "player_name")
        return &player_name;
    return nullptr;
}

void resetSettings()
{
    for (const Setting& setting : settings())
        *setting.value = setting.defaultValue;
    language.clear();
    player_name.clear();
    resetControls();
}

namespace {

// The settings hold their defaults before anything reads them, whatever the order of start-up.
const bool defaultsApplied = (resetSettings(), true);

} // namespace

void applyConfig(const std::string& text)
{
    for (const std::string& line : linesOf(text))
        applyLine(line);
    // A volume is a share of full loudness: louder than full would clip, below silence means nothing.
    sound_volume = std::clamp(sound_volume, 0.0f, 1.0f);
    music_volume = std::clamp(music_volume, 0.0f, 1.0f);
}

namespace {

void loadConfigFile(const std::string& path)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (!error && size > maxConfigBytes) {
        logMessage("Config: '" + path + "' is " + std::to_string(size) +
                   " bytes, too large for a configuration file, and will be skipped");
        return;
    }
    applyConfig(readFile(path));
}

} // namespace

void loadConfig()
{
    resetControls();
    loadConfigFile(assetPath("config.txt"));
    // An installed asset folder is read-only: a player's own settings live in their config folder.
    const std::filesystem::path folder = userConfigFolder();
    if (folder.empty())
        return;
    const std::filesystem::path own = folder / "config.txt";
    std::error_code error;
    if (std::filesystem::exists(own, error))
        loadConfigFile(own.string());
    // The texts from here on are in the language the player chose (a code without a catalogue: the system's).
    useLanguage(language);
}

void applyVerticalSync()
{
    glfwSwapInterval(vsync != 0.0f ? 1 : 0);
}

std::string settingText(float value)
{
    // Fixed notation only: the reader takes digits, '.' and '-', no exponents. The shortest
    // text that gives the float back goes first; the reader's route (a double, then a float)
    // is checked, and more digits follow in the rare case it rounds differently.
    char text[128];
    auto [end, error] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    std::string out = error == std::errc() ? std::string(text, end) : std::string();
    for (int precision = 1; static_cast<float>(std::atof(out.c_str())) != value && precision <= 60; ++precision) {
        auto [more, moreError] =
            std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, precision);
        out = moreError == std::errc() ? std::string(text, more) : out;
    }
    return out;
}

std::optional<ConfigEntry> currentEntry(const std::string& key)
{
    if (const Setting* setting = findSetting(key))
        return ConfigEntry{key, settingText(*setting->value)};
    if (const std::string* text = findTextSetting(key))
        return ConfigEntry{key, *text};
    if (const std::optional<Action> action = actionOfConfigKey(key))
        return ConfigEntry{key, keyName(playerControls().key(*action))};
    return std::nullopt;
}

std::vector<ConfigEntry> bindingEntries(const Controls& controls)
{
    std::vector<ConfigEntry> entries;
    for (const ActionInfo& info : actionTable())
        entries.push_back({info.configKey, keyName(controls.key(info.action))});
    return entries;
}

std::string rewriteConfig(const std::string& text, const std::vector<ConfigEntry>& entries)
{
    std::vector<std::string> lines = linesOf(text);
    std::string appended;
    for (const ConfigEntry& entry : entries) {
        const std::string line = entry.key + " = " + entry.value;
        const auto namesKey = [&](const std::string& l) { return keyOfLine(l) == entry.key; };
        const auto afterLast = std::find_if(lines.rbegin(), lines.rend(), namesKey).base();
        if (actionOfConfigKey(entry.key) && afterLast != lines.begin()) {
            const auto kept = std::prev(afterLast);
            lines.erase(std::remove_if(lines.begin(), kept, namesKey), kept);
        }
        auto last = std::find_if(lines.rbegin(), lines.rend(), namesKey);
        if (last == lines.rend()) {
            appended += line + "\n";
            continue;
        }
        std::string& old = *last;
        const bool carriageReturn = !old.empty() && old.back() == '\r';
        if (carriageReturn)
            old.pop_back();
        const auto comment = old.find("//");
        old = comment == std::string::npos ? line : line + " " + old.substr(comment);
        if (carriageReturn)
            old += '\r';
    }
    std::string out;
    for (const std::string& line : lines)
        out += line + "\n";
    // A file whose last line had no line end keeps it so, unless lines follow it now.
    if (!text.empty() && text.back() != '\n' && appended.empty())
        out.pop_back();
    return out + appended;
}

namespace {

constexpr const char* newFileHeading =
    "// Your own Quillfen settings: read after the game's config.txt, so they win over it.\n"
    "// The settings and controls screens write here; lines you add are kept.\n";

bool refuse(const std::string& reason, std::string& message)
{
    message = "Config: your settings could not be saved: " + reason;
    logMessage(message);
    return false;
}

} // namespace

bool savePlayerConfig(const std::vector<ConfigEntry>& entries, std::string& message)
{
    namespace fs = std::filesystem;
    const fs::path folder = userConfigFolder();
    if (folder.empty())
        return refuse("there is no folder for them (neither XDG_CONFIG_HOME nor HOME is set)", message);
    // A link (a player keeping their settings elsewhere) is read and written through.
    const fs::path path = folder / "config.txt";
    std::error_code error;
    std::string text = newFileHeading;
    if (fs::exists(path, error)) {
        switch (readRegularFile(path.string(), maxConfigBytes, text)) {
        case FileRead::ok:
            break;
        case FileRead::notRegular:
            return refuse(path.string() + " is not a regular file", message);
        case FileRead::tooLarge:
            return refuse(path.string() + " is too large for a configuration file", message);
        case FileRead::cannotOpen:
        case FileRead::cannotRead:
            return refuse(path.string() + " cannot be read", message);
        }
    }
    std::string reason;
    if (!writeFileAtomically(path, rewriteConfig(text, entries), reason))
        return refuse(reason, message);
    message.clear();
    return true;
}
