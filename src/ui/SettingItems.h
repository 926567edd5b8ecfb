#pragma once

#include <string>
#include <vector>

// The settings the settings screen changes, as data: what each item is called, which setting
// it changes, its range and step, and how its value is shown. Pure functions, no window.

enum class ValueStyle {
    Percent,    // 0..1 as "80 %"
    OnOff,      // 0 or 1 as "OFF" / "ON"
    Whole,      // "60"
    Decimal,    // "0.5", "0.08": as many decimals as the step has
    WindowSize, // window_width and window_height together, "1000 X 750", from windowSizes()
    Scale,      // render_scale: the lowest step stands for 0, "AUTO"; the others as "70 %"
};

struct SettingItem {
    const char* label; // "SOUND VOLUME"
    const char* key;   // the setting it changes, as in config.txt ("sound_volume")
    float minimum;
    float maximum;
    float step;
    ValueStyle style;
};

// Every item, in the order of the settings screen. WINDOW SIZE names window_width; it steps
// through windowSizes() with stepWindowSize() instead of its range.
const std::vector<SettingItem>& settingItems();
// The item of that label, or null.
const SettingItem* findSettingItem(const std::string& label);

// How the value is shown ("80 %", "ON", "60", "0.08"). Not for WINDOW SIZE: see sizeText().
std::string valueText(const SettingItem& item, float value);

// The value one step to the left (direction -1) or right (+1), on the item's grid of
// minimum + n * step and within its range. A value between two grid points (written by hand)
// goes to the neighbouring point in that direction; a value out of range comes back into it.
float stepValue(const SettingItem& item, float value, int direction);

// The current value of the item's setting, and a new one (clamped to the range as stepping does).
float itemValue(const SettingItem& item);
void setItemValue(const SettingItem& item, float value);

struct WindowSize {
    int width = 0;
    int height = 0;
    bool operator==(const WindowSize&) const = default;
};

// The common window sizes that fit a monitor of that size, smallest first; a monitor smaller
// than all of them (or of unknown size, 0 x 0) gets the smallest.
std::vector<WindowSize> windowSizes(int monitorWidth, int monitorHeight);
// "1000 X 750".
std::string sizeText(WindowSize size);
// The next size of the list in that direction from the current one, staying at the ends; a
// size not on the list goes to the neighbour by area.
WindowSize stepWindowSize(const std::vector<WindowSize>& sizes, WindowSize current, int direction);
