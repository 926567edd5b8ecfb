#pragma once

#include <array>
#include <chrono>
#include <cstdint>

// Chooses the render scale, the fraction of the window's width and height the 3D passes are
// drawn at. The `render_scale` setting fixes it (0.5 to 1) or, at 0, leaves it to the frame
// times: a machine that cannot draw the full picture within a 60 fps frame gets fewer pixels
// instead of a sluggish game, and one that can keeps the full picture.
//
// Automatic: the scale starts at 1, or where a picture timed before the first frame says the
// pixels fit. Frames are judged in groups of `group`, by the mean of
// their middle half, so a single stall (or a few) moves nothing and frames alternating fast
// and slow count as their typical time. A group over the target lowers the scale to where its
// pixels would fit (at least one step), down to `lowest`. A scale is raised again only after
// `raisePatience` groups in a row with clear headroom, judged as if the frame's cost grew with
// the pixel count (which overstates it: part of a frame does not shrink with the scale).
// Raising back to a scale that was already too slow waits longer, twice as long each time it
// fails again, so the scale settles instead of hunting between two steps; once such a scale
// fits again it is forgotten.
class RenderScaleController {
public:
    static constexpr float lowest = 0.5f;
    static constexpr float step = 0.05f;
    static constexpr int group = 30;
    static constexpr int raisePatience = 2;
    // A frame of 60 fps, less a margin for handing it to the display.
    static constexpr double defaultTarget = 0.9 / 60.0;
    // The share of the target a raised scale must be expected to stay under.
    static constexpr double headroom = 0.8;

    explicit RenderScaleController(double targetSeconds = defaultTarget);

    // Takes the `render_scale` setting, as it is now, and one frame's own work in seconds
    // (negative when that frame was not measured). True when the scale changed, so the sized
    // targets must follow. A setting out of range is reported once and counts as automatic.
    bool update(float setting, double workSeconds);
    // The work of a picture at the current scale, timed before the first frame: an automatic
    // scale starts where its pixels would fit, so a slow machine's first frames are not drawn
    // at the full picture. True when the scale changed.
    bool startFrom(double workSeconds);

    float scale() const { return current; }
    bool automatic() const { return isAutomatic; }

private:
    // Judges a full group of frames; true when the scale changed.
    bool judge();

    double target;
    float current = 1.0f;
    bool isAutomatic = true;
    // The last setting seen; NaN before the first, so the first is always taken.
    float setting;
    std::array<double, group> frames{};
    int count = 0;
    int headroomGroups = 0;
    // The lowest scale found too slow since the last time the scale was fixed, and the number of
    // headroom groups a raise to it (or above it) needs now.
    float tooSlow = 2.0f;
    int retryPatience = 0;
};

// Measures the frame's own work, not the wait for the display: the larger of the CPU's time
// from the start of the frame's update to the end of its drawing calls, and the GPU's time
// from the frame's first command to its last (timestamp queries, read back when the GPU has
// them, so they never stall it). Under a software rasteriser the second covers the drawing the
// driver finishes after the calls return; on a graphics card, whichever side is the bottleneck.
class FrameTimer {
public:
    // Needs a current OpenGL context.
    void begin();
    // The work of the newest frame whose GPU times have come back, in seconds; negative when
    // none came back (or begin was not called).
    double end();
    // What the last end returned.
    double latest = -1.0;

private:
    struct Slot {
        std::uint32_t queries[2] = {0, 0};
        double cpuSeconds = 0.0;
        bool pending = false;
    };
    static constexpr int slotCount = 4;
    std::array<Slot, slotCount> slots{};
    int next = 0;
    bool started = false;
    bool created = false;
    bool timing = false;
    std::chrono::steady_clock::time_point cpuStart;
};
