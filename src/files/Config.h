#pragma once

#include "input/Controls.h"

#include <optional>
#include <string>
#include <vector>

// The tunable settings, program-wide, named exactly as their keys in "config.txt".
// All are floats, even flags and pixel sizes; users truncate where they need integers.
extern float fullscreen;
extern float window_width;
extern float window_height;
extern float refresh_rate;
extern float sensitivity;
extern float moveSensitivity;
extern float fov;
extern float brightness;
extern float shadowmap_resolution_factor;
// Fraction of the window's width and height the 3D scene is drawn at, 0.5 to 1; 0 picks it
// from the frame times.
extern float render_scale;
extern float difficulty;
// Loudness of the sound effects and rain, and of the music, 0 to 1 (the file's values are clamped).
extern float sound_volume;
extern float music_volume;
// Non-zero: moving the mouse (or the right stick) forward looks down instead of up.
extern float invert_mouse;
// Non-zero: frames wait for the display's refresh; zero: as many frames as the machine can draw.
extern float vsync;
// Non-zero: the HUD shows the frame rate when the game starts (F3 switches it while playing).
extern float show_frame_rate;

// The two settings that are words, not numbers: the language the game speaks ("de"; empty for the
// system's) and the name written beside the player's runs (empty: the account's, see playerName()).
extern std::string language;
extern std::string player_name;

// One setting: its key in "config.txt", the variable it writes and its built-in default.
struct Setting {
    const char* key;
    float* value;
    float defaultValue;
};

// Every setting, in the order the file documents them.
const std::vector<Setting>& settings();
// The setting of that key, or null.
const Setting* findSetting(const std::string& key);
// The word setting of that key ("language", "player_name"), or null.
std::string* findTextSetting(const std::string& key);

// Puts every setting and the player's key bindings back to their built-in defaults.
void resetSettings();

// Reads assetPath("config.txt"), then the player's own config.txt in userConfigFolder() when
// there is one, and applies every valid line, so the player's keys win; unknown keys and bad
// values are reported and skipped, everything else in the files still applies. Lines
// "key_forward = W" bind keys (see Controls.h) into playerControls(), swapping as bind() does,
// from the default bindings each time: a reload binds the keys as the next start will.
// The game then speaks the language the files name (useLanguage).
void loadConfig();

// The line rules on their own, for a text already read.
void applyConfig(const std::string& text);

// Asks the current OpenGL context for the swap interval the vsync setting names.
void applyVerticalSync();

// Writing the player's own config.txt.

// The text config.txt holds for a value: the shortest that reads back as exactly that float.
std::string settingText(float value);

// One line of config.txt: a key and its value as text.
struct ConfigEntry {
    std::string key;
    std::string value;
    bool operator==(const ConfigEntry&) const = default;
};

// The current value of a setting ("fov") or of a binding of playerControls() ("key_pause");
// nothing for a key the game does not know.
std::optional<ConfigEntry> currentEntry(const std::string& key);
// Every binding of `controls`, one line per action. Bindings swap as they are read, so a file
// holds all of them or none: with all of them it reads back as exactly `controls`, whatever
// was bound before it (the defaults, the asset folder's file).
std::vector<ConfigEntry> bindingEntries(const Controls& controls);

// `text` with each entry set: the line that names its key last (the one that wins when read)
// is rewritten in place, keeping its "//" comment; a key no line names is added at the end.
// Earlier lines of a binding that is set go, since each would rebind through swaps before the
// last one. Every other line, comment and blank stays as it was.
std::string rewriteConfig(const std::string& text, const std::vector<ConfigEntry>& entries);

// Sets the entries in userConfigFolder()/config.txt, as rewriteConfig does, written atomically
// (the asset folder's file is never written). On failure prints one message, returns false
// with that message in `message`, and leaves the file as it was.
bool savePlayerConfig(const std::vector<ConfigEntry>& entries, std::string& message);
