#include "app/WindowSettings.h"

#include <GLFW/glfw3.h>

#include <algorithm>

namespace {

constexpr float fastestRefresh = 1000.0f;

} // namespace

int windowPixels(float setting)
{
    // Bounded while still a float: converting a float beyond int's range is undefined.
    constexpr float side = static_cast<float>(largestWindowSide);
    return static_cast<int>(std::clamp(setting, -side, side));
}

int refreshRateHint(float setting)
{
    if (!(setting >= 1.0f))
        return GLFW_DONT_CARE;
    return static_cast<int>(std::min(setting, fastestRefresh));
}
