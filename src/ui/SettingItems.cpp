#include "ui/SettingItems.h"

#include "files/Config.h"
#include "files/Translation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// A value this close to a grid point (in steps) is on it: floats of 0.1 steps are never exact.
constexpr double onGrid = 1e-3;

// Sizes players know from their monitors and old games, smallest area first; 1000 x 750 is
// the game's own default.
constexpr WindowSize commonSizes[] = {
    {640, 480},   {800, 600},   {1000, 750},  {1024, 768},  {1280, 720},  {1366, 768},
    {1280, 960},  {1600, 900},  {1920, 1080}, {2560, 1440}, {3840, 2160},
};

long area(WindowSize size)
{
    return static_cast<long>(size.width) * size.height;
}

int stepCount(const SettingItem& item)
{
    return static_cast<int>(std::lround((item.maximum - item.minimum) / item.step));
}

// Decimals that show every point of the grid: 0.1 needs one, 0.02 two.
int decimalsOf(float step)
{
    int decimals = 0;
    for (double scaled = step; decimals < 4 && std::fabs(scaled - std::round(scaled)) > onGrid; scaled *= 10.0)
        ++decimals;
    return decimals;
}

} // namespace

const std::vector<SettingItem>& settingItems()
{
    // Mouse sensitivity around its default of 0.08 degrees per pixel: from a slow sweep on a
    // high-resolution mouse to a quick flick on a coarse one.
    static const std::vector<SettingItem> items = {
        {N_("SOUND VOLUME"), "sound_volume", 0.0f, 1.0f, 0.1f, ValueStyle::Percent},
        {N_("MUSIC VOLUME"), "music_volume", 0.0f, 1.0f, 0.1f, ValueStyle::Percent},
        {N_("MOUSE SENSITIVITY"), "sensitivity", 0.02f, 0.3f, 0.02f, ValueStyle::Decimal},
        {N_("INVERT MOUSE"), "invert_mouse", 0.0f, 1.0f, 1.0f, ValueStyle::OnOff},
        {N_("FIELD OF VIEW"), "fov", 40.0f, 110.0f, 5.0f, ValueStyle::Whole},
        {N_("DIFFICULTY"), "difficulty", 0.0f, 1.0f, 0.1f, ValueStyle::Decimal},
        {N_("FULL SCREEN"), "fullscreen", 0.0f, 1.0f, 1.0f, ValueStyle::OnOff},
        {N_("WINDOW SIZE"), "window_width", 0.0f, 0.0f, 0.0f, ValueStyle::WindowSize},
        {N_("VERTICAL SYNC"), "vsync", 0.0f, 1.0f, 1.0f, ValueStyle::OnOff},
        {N_("SHOW FRAME RATE"), "show_frame_rate", 0.0f, 1.0f, 1.0f, ValueStyle::OnOff},
        // The share of the window the 3D scene is drawn at; below 50 % is the automatic choice.
        {N_("QUALITY"), "render_scale", 0.4f, 1.0f, 0.1f, ValueStyle::Scale},
    };
    return items;
}

const SettingItem* findSettingItem(const std::string& label)
{
    for (const SettingItem& item : settingItems())
        if (label == item.label)
            return &item;
    return nullptr;
}

std::string valueText(const SettingItem& item, float value)
{
    char text[64];
    switch (item.style) {
    case ValueStyle::Percent:
        std::snprintf(text, sizeof text, "%ld %%", std::lround(value * 100.0f));
        return text;
    case ValueStyle::OnOff:
        return value != 0.0f ? _("ON") : _("OFF");
    case ValueStyle::Whole:
        std::snprintf(text, sizeof text, "%ld", std::lround(value));
        return text;
    case ValueStyle::Decimal:
        std::snprintf(text, sizeof text, "%.*f", decimalsOf(item.step), static_cast<double>(value));
        return text;
    case ValueStyle::Scale:
        if (value < item.minimum + item.step / 2.0f)
            return _("AUTO");
        std::snprintf(text, sizeof text, "%ld %%", std::lround(value * 100.0f));
        return text;
    case ValueStyle::WindowSize:
        break;
    }
    return "";
}

float stepValue(const SettingItem& item, float value, int direction)
{
    if (item.step <= 0.0f)
        return value;
    const double clamped = std::clamp(static_cast<double>(value), static_cast<double>(item.minimum),
                                      static_cast<double>(item.maximum));
    const double steps = (clamped - item.minimum) / item.step;
    long point = 0;
    if (direction > 0)
        point = static_cast<long>(std::floor(steps + onGrid)) + 1;
    else if (direction < 0)
        point = static_cast<long>(std::ceil(steps - onGrid)) - 1;
    else
        point = std::lround(steps);
    point = std::clamp(point, 0L, static_cast<long>(stepCount(item)));
    // Rounded to the step's decimals, so that the point 0.3 is the float config.txt reads for "0.3"
    // (0.02f fifteen times over is a float below 0.3f).
    const double scale = std::pow(10.0, decimalsOf(item.step));
    const double exact = item.minimum + static_cast<double>(point) * static_cast<double>(item.step);
    return static_cast<float>(std::round(exact * scale) / scale);
}

float itemValue(const SettingItem& item)
{
    const Setting* setting = findSetting(item.key);
    if (setting && item.style == ValueStyle::Scale && *setting->value == 0.0f)
        return item.minimum;
    return setting ? *setting->value : 0.0f;
}

void setItemValue(const SettingItem& item, float value)
{
    const Setting* setting = findSetting(item.key);
    if (setting && item.style == ValueStyle::Scale && value < item.minimum + item.step / 2.0f)
        *setting->value = 0.0f;
    else if (setting && item.style != ValueStyle::WindowSize)
        *setting->value = std::clamp(value, item.minimum, item.maximum);
}

std::vector<WindowSize> windowSizes(int monitorWidth, int monitorHeight)
{
    std::vector<WindowSize> sizes;
    for (WindowSize size : commonSizes)
        if (size.width <= monitorWidth && size.height <= monitorHeight)
            sizes.push_back(size);
    if (sizes.empty())
        sizes.push_back(commonSizes[0]);
    return sizes;
}

std::string sizeText(WindowSize size)
{
    return std::to_string(size.width) + " X " + std::to_string(size.height);
}

WindowSize stepWindowSize(const std::vector<WindowSize>& sizes, WindowSize current, int direction)
{
    if (sizes.empty())
        return current;
    const auto here = std::find(sizes.begin(), sizes.end(), current);
    if (here != sizes.end()) {
        const long index = std::clamp<long>((here - sizes.begin()) + direction, 0, static_cast<long>(sizes.size()) - 1);
        return sizes[static_cast<std::size_t>(index)];
    }
    // Off the list: the first size larger (or, going left, the last smaller) than the current one.
    if (direction >= 0) {
        for (WindowSize size : sizes)
            if (area(size) > area(current))
                return size;
        return sizes.back();
    }
    for (auto it = sizes.rbegin(); it != sizes.rend(); ++it)
        if (area(*it) < area(current))
            return *it;
    return sizes.front();
}
