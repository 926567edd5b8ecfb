#include "app/WindowSettings.h"

#include <GLFW/glfw3.h>

#include <algorithm>

namespace {

constexpr float fastestRefresh = 1000.0f;

} // namespace

int windowPixels(float setting)
{
    // Bounded while still a float: converting a float beyond int's range is undefined. A
    // negative size is 0: GLFW takes that as a size it cannot make, and a negative one as a bug.
    return static_cast<int>(std::clamp(setting, 0.0f, static_cast<float>(largestWindowSide)));
}

int refreshRateHint(float setting)
{
    if (!(setting >= 1.0f))
        return GLFW_DONT_CARE;
    return static_cast<int>(std::min(setting, fastestRefresh));
}
