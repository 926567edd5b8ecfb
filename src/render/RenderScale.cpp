#include "render/RenderScale.h"

#include "files/Files.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

namespace {

// Patience of the first retry of a scale found too slow, in groups, and the most it grows to.
constexpr int firstRetryPatience = 8;
constexpr int longestRetryPatience = 256;

// Scales are kept on the grid of steps, so that repeated steps land exactly on 1 and the floor.
float onGrid(float scale)
{
    const float steps = std::round(scale / RenderScaleController::step);
    return std::clamp(steps * RenderScaleController::step, RenderScaleController::lowest, 1.0f);
}

} // namespace

RenderScaleController::RenderScaleController(double targetSeconds)
    : target(targetSeconds)
    , setting(std::numeric_limits<float>::quiet_NaN())
{
}

bool RenderScaleController::update(float newSetting, double workSeconds)
{
    const float before = current;
    // NaN never equals itself: the first call always takes its setting.
    if (!(newSetting == setting)) {
        setting = newSetting;
        const bool fixed = newSetting >= lowest && newSetting <= 1.0f;
        if (newSetting != 0.0f && !fixed)
            logMessage("Config: 'render_scale=" + std::to_string(newSetting) + "' contains a bad value and will be skipped");
        isAutomatic = !fixed;
        // A fixed scale is taken as it is; automatic starts again from the full picture.
        current = fixed ? newSetting : 1.0f;
        count = 0;
        headroomGroups = 0;
        tooSlow = 2.0f;
        retryPatience = firstRetryPatience;
        return current != before;
    }
    if (!isAutomatic || workSeconds < 0.0)
        return false;
    frames[static_cast<std::size_t>(count++)] = workSeconds;
    if (count < group)
        return false;
    count = 0;
    return judge();
}

bool RenderScaleController::startFrom(double workSeconds)
{
    if (!isAutomatic || workSeconds <= target)
        return false;
    const float before = current;
    current = onGrid(current * static_cast<float>(std::sqrt(target / workSeconds)));
    return current != before;
}

bool RenderScaleController::judge()
{
    // The mean of the middle half: a stall or two at the top, or a few unusually quick frames at
    // the bottom, do not count.
    std::sort(frames.begin(), frames.end());
    double sum = 0.0;
    for (int i = group / 4; i < group - group / 4; ++i)
        sum += frames[static_cast<std::size_t>(i)];
    const double typical = sum / (group - 2 * (group / 4));

    if (typical > target) {
        headroomGroups = 0;
        if (current <= lowest)
            return false;
        // A scale raised to and found too slow again waits longer before the next try.
        if (current >= tooSlow)
            retryPatience = std::min(2 * retryPatience, longestRetryPatience);
        tooSlow = current;
        // Straight to the scale whose pixels would fit, at least a step: part of a frame does
        // not shrink with the pixels, so this never goes lower than needed, and a start at the
        // full picture on a slow machine is over within a group or two.
        const float fits = current * static_cast<float>(std::sqrt(target / typical));
        current = onGrid(std::min(fits, current - step));
        return true;
    }
    // A scale that was too slow fits now (the machine has less other work): forgotten.
    if (current >= tooSlow) {
        tooSlow = 2.0f;
        retryPatience = firstRetryPatience;
    }
    if (current >= 1.0f)
        return false;
    const float raised = onGrid(current + step);
    const double growth = static_cast<double>(raised * raised) / static_cast<double>(current * current);
    if (typical * growth >= headroom * target) {
        headroomGroups = 0;
        return false;
    }
    const int patience = raised >= tooSlow ? retryPatience : raisePatience;
    if (++headroomGroups < patience)
        return false;
    headroomGroups = 0;
    current = raised;
    return true;
}

void FrameTimer::begin()
{
    cpuStart = std::chrono::steady_clock::now();
    started = true;
    if (!created) {
        for (Slot& slot : slots)
            glGenQueries(2, slot.queries);
        created = true;
    }
    // A slot whose times have not come back is left alone: this frame goes unmeasured then.
    Slot& slot = slots[static_cast<std::size_t>(next)];
    timing = !slot.pending;
    if (timing)
        glQueryCounter(slot.queries[0], GL_TIMESTAMP);
}

double FrameTimer::end()
{
    latest = -1.0;
    if (!started)
        return latest;
    started = false;
    if (timing) {
        Slot& slot = slots[static_cast<std::size_t>(next)];
        glQueryCounter(slot.queries[1], GL_TIMESTAMP);
        slot.cpuSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - cpuStart).count();
        slot.pending = true;
        next = (next + 1) % slotCount;
    }
    // The oldest pending slots first: their results come back in order.
    double work = -1.0;
    for (int i = 0; i < slotCount; ++i) {
        Slot& slot = slots[static_cast<std::size_t>((next + i) % slotCount)];
        if (!slot.pending)
            continue;
        GLint available = 0;
        glGetQueryObjectiv(slot.queries[1], GL_QUERY_RESULT_AVAILABLE, &available);
        if (!available)
            break;
        GLuint64 from = 0;
        GLuint64 to = 0;
        glGetQueryObjectui64v(slot.queries[0], GL_QUERY_RESULT, &from);
        glGetQueryObjectui64v(slot.queries[1], GL_QUERY_RESULT, &to);
        const double gpuSeconds = to > from ? static_cast<double>(to - from) * 1e-9 : 0.0;
        work = std::max(slot.cpuSeconds, gpuSeconds);
        slot.pending = false;
    }
    latest = work;
    return work;
}
