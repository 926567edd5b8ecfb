#include "app/Config.h"

#include "app/UserFolders.h"
#include "render/Files.h"

#include <algorithm>
#include <cctype>
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

namespace {

// A real configuration is a few hundred bytes; anything this large is not one.
constexpr std::uintmax_t maxConfigBytes = 1024 * 1024;

bool isValueChar(char c)
{
    return std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == 'f';
}

void applyLine(std::string line)
{
    const auto comment = line.find("//");
    if (comment != std::string::npos)
        line.erase(comment);

    std::string compact;
    compact.reserve(line.size());
    for (char c : line)
        if (!std::isspace(static_cast<unsigned char>(c)))
            compact += c;
    if (compact.empty())
        return;

    const auto equals = compact.find('=');
    if (equals == std::string::npos)
        return;
    const std::string key = compact.substr(0, equals);
    const std::string value = compact.substr(equals + 1);

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

void resetSettings()
{
    for (const Setting& setting : settings())
        *setting.value = setting.defaultValue;
}

namespace {

// The settings hold their defaults before anything reads them, whatever the order of start-up.
const bool defaultsApplied = (resetSettings(), true);

} // namespace

void applyConfig(const std::string& text)
{
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        applyLine(text.substr(start, end - start));
        start = end + 1;
    }
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
    loadConfigFile(assetPath("config.txt"));
    // An installed asset folder is read-only: a player's own settings live in their config folder.
    const std::filesystem::path folder = userConfigFolder();
    if (folder.empty())
        return;
    const std::filesystem::path own = folder / "config.txt";
    std::error_code error;
    if (std::filesystem::exists(own, error))
        loadConfigFile(own.string());
}
