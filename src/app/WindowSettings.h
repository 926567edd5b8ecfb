#pragma once

// The window settings as the window system takes them: whole numbers in a range it works in,
// whatever float the configuration holds.

// The widest or tallest window the settings can ask for, in pixels: more than any screen shows
// (an 8K screen is 7680 wide) and no larger than graphics cards' textures.
inline constexpr int largestWindowSide = 8192;

// window_width or window_height in pixels, fractions cut off as ever: at most largestWindowSide,
// and 0 for a size of 0 or less, of which no window is made.
int windowPixels(float setting);

// refresh_rate as the window hint takes it: 1 to 1000 Hz; anything below 1 lets the display choose.
int refreshRateHint(float setting);
