#pragma once

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

// Puts every setting back to its built-in default (used by tests and tools).
void resetSettings();

// Reads assetPath("config.txt"), then the player's own config.txt in userConfigFolder() when
// there is one, and applies every valid line, so the player's keys win; unknown keys and bad
// values are reported and skipped, everything else in the files still applies.
void loadConfig();

// The line rules on their own, for a text already read.
void applyConfig(const std::string& text);
