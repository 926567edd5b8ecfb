#include "render/RenderScale.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace {

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

constexpr float automatic = 0.0f;
constexpr double target = RenderScaleController::defaultTarget;
constexpr int group = RenderScaleController::group;

// Feeds `groups` groups of frames whose work the function gives for the scale in effect and the
// frame's number; returns the scale after each group.
std::vector<float> run(RenderScaleController& controller, int groups, const std::function<double(float, int)>& work)
{
    std::vector<float> scales;
    for (int g = 0; g < groups; ++g) {
        for (int f = 0; f < group; ++f)
            controller.update(automatic, work(controller.scale(), g * group + f));
        scales.push_back(controller.scale());
    }
    return scales;
}

// A machine whose frame costs a fixed part and a part that grows with the pixel count.
double machine(float scale, double fixed, double perPixels)
{
    return fixed + perPixels * static_cast<double>(scale * scale);
}

// How often the scale went up after going down, or down after going up.
int reversals(const std::vector<float>& scales)
{
    int count = 0;
    int lastDirection = 0;
    for (std::size_t i = 1; i < scales.size(); ++i) {
        const int direction = scales[i] > scales[i - 1] ? 1 : scales[i] < scales[i - 1] ? -1 : 0;
        if (direction != 0 && lastDirection != 0 && direction != lastDirection)
            ++count;
        if (direction != 0)
            lastDirection = direction;
    }
    return count;
}

TEST(RenderScaleControllerTest, AMachineThatHoldsTheFrameNeverLeavesTheFullPicture)
{
    RenderScaleController controller;
    controller.update(automatic, -1.0);
    // Just inside the target, with a stall of half a second in every group and a slow frame
    // now and then: none of it is the machine's typical frame.
    const auto scales = run(controller, 200, [](float, int f) {
        if (f % group == 7)
            return 0.5;
        return f % 5 == 0 ? 1.6 * target : 0.95 * target;
    });
    for (const float scale : scales)
        ASSERT_EQ(scale, 1.0f);
    EXPECT_TRUE(controller.automatic());
}

TEST(RenderScaleControllerTest, SlowFramesLowerTheScaleToWhereThePixelsWouldFitDownToHalf)
{
    // Three times the target: a third of the pixels, about 0.58 of the width, in one group.
    RenderScaleController controller;
    controller.update(automatic, -1.0);
    auto scales = run(controller, 6, [](float, int) { return 3.0 * target; });
    EXPECT_NEAR(scales[0], 0.6f, 1e-6f);
    for (std::size_t g = 1; g < scales.size(); ++g)
        EXPECT_EQ(scales[g], RenderScaleController::lowest) << "never below half, however slow; group " << g;

    // Just over the target: one step at a time.
    RenderScaleController nearly;
    nearly.update(automatic, -1.0);
    scales = run(nearly, 3, [](float, int) { return 1.02 * target; });
    for (std::size_t g = 0; g < scales.size(); ++g)
        EXPECT_NEAR(scales[g], 0.95f - 0.05f * static_cast<float>(g), 1e-6f) << "after group " << g;

    // Frames unmeasured (the GPU's times not back yet) count for nothing.
    for (int i = 0; i < 10 * group; ++i)
        EXPECT_FALSE(nearly.update(automatic, -1.0));
}

TEST(RenderScaleControllerTest, APictureTimedBeforeTheFirstFrameChoosesWhereTheScaleStarts)
{
    // Twice the target at the full picture: half the pixels, about 0.7 of the width, at once.
    RenderScaleController slow;
    slow.update(automatic, -1.0);
    EXPECT_TRUE(slow.startFrom(2.0 * target));
    EXPECT_NEAR(slow.scale(), 0.7f, 1e-6f);
    // Then the frames decide as before: these fit at 0.7, so it stays.
    const auto scales = run(slow, 4, [](float scale, int) { return machine(scale, 0.0, 2.0 * target) * 0.95; });
    EXPECT_NEAR(scales.back(), 0.7f, 1e-6f);

    RenderScaleController quick;
    quick.update(automatic, -1.0);
    EXPECT_FALSE(quick.startFrom(0.5 * target));
    EXPECT_EQ(quick.scale(), 1.0f);

    RenderScaleController fixed;
    fixed.update(1.0f, -1.0);
    EXPECT_FALSE(fixed.startFrom(10.0 * target)) << "a scale the player chose stays";
    EXPECT_EQ(fixed.scale(), 1.0f);
}

TEST(RenderScaleControllerTest, RecoveryRaisesTheScaleBackToTheFullPicture)
{
    RenderScaleController controller;
    controller.update(automatic, -1.0);
    run(controller, 12, [](float, int) { return 2.0 * target; });
    ASSERT_EQ(controller.scale(), 0.5f);
    // The other work on the machine is over: a frame now costs what the pixels cost.
    const auto scales = run(controller, 400, [](float scale, int) { return machine(scale, 0.1 * target, 0.4 * target); });
    EXPECT_EQ(scales[60], 1.0f);
    EXPECT_EQ(scales.back(), 1.0f);
    EXPECT_EQ(reversals(scales), 0);
    // Step by step, a few groups apart, never in one jump.
    // The groups are counted from the one before the first of them, when the scale came to 0.5.
    int lastChange = -1;
    float before = 0.5f;
    for (int g = 0; g < static_cast<int>(scales.size()); ++g) {
        const float now = scales[static_cast<std::size_t>(g)];
        EXPECT_LE(now - before, 0.05f + 1e-6f);
        if (now > before) {
            EXPECT_GE(g - lastChange, RenderScaleController::raisePatience) << "group " << g;
            lastChange = g;
        }
        before = now;
    }
    EXPECT_GE(std::count(scales.begin(), scales.end(), 0.5f), 1);
}

TEST(RenderScaleControllerTest, ItSettlesWhereTheFrameFitsAndDoesNotHunt)
{
    // A frame of 0.3 target plus 1.3 target at the full picture fits below a scale of about 0.72.
    for (const double wobble : {0.0, 0.04, 0.5}) {
        RenderScaleController controller;
        controller.update(automatic, -1.0);
        // Each frame off by `wobble` either way, alternately: the typical frame stays the machine's.
        const auto scales = run(controller, 600, [wobble](float scale, int f) {
            return machine(scale, 0.3 * target, 1.3 * target) * (f % 2 == 0 ? 1.0 + wobble : 1.0 - wobble);
        });
        const float settled = scales[100];
        EXPECT_GE(settled, 0.6f) << wobble;
        EXPECT_LE(settled, 0.75f) << wobble;
        EXPECT_LE(machine(settled, 0.3 * target, 1.3 * target), target) << wobble;
        int changes = 0;
        for (std::size_t g = 101; g < scales.size(); ++g)
            changes += scales[g] != scales[g - 1] ? 1 : 0;
        EXPECT_EQ(changes, 0) << "wobble " << wobble;
    }

    // Right at the edge, where one step more is just too slow and one less fits with headroom
    // to spare by the measure of pixels: the slower step is tried again now and then, each
    // time after a longer wait, and the scale stays where it fits.
    RenderScaleController controller;
    controller.update(automatic, -1.0);
    const auto scales = run(controller, 2000, [](float scale, int) { return scale > 0.72f ? 1.01 * target : 0.6 * target; });
    std::vector<std::size_t> retries;
    for (std::size_t g = 1; g < scales.size(); ++g)
        if (scales[g] > scales[g - 1])
            retries.push_back(g);
    ASSERT_GE(retries.size(), 3u);
    for (std::size_t i = 2; i < retries.size(); ++i)
        EXPECT_GE(retries[i] - retries[i - 1], retries[i - 1] - retries[i - 2]) << "retry " << i;
    EXPECT_GE(std::count(scales.begin() + 100, scales.end(), 0.7f), 1880);
    EXPECT_EQ(scales.back(), 0.7f);
}

TEST(RenderScaleControllerTest, AFixedSettingHoldsAndABadOneIsReportedOnceAndLeftToTheFrames)
{
    RenderScaleController controller;
    EXPECT_TRUE(controller.update(0.75f, -1.0));
    EXPECT_EQ(controller.scale(), 0.75f);
    EXPECT_FALSE(controller.automatic());
    for (int i = 0; i < 5 * group; ++i)
        EXPECT_FALSE(controller.update(0.75f, 5.0 * target)) << "slow frames move no fixed scale";
    EXPECT_EQ(controller.scale(), 0.75f);
    EXPECT_TRUE(controller.update(1.0f, -1.0));
    EXPECT_EQ(controller.scale(), 1.0f);

    for (const float bad : {0.3f, 1.5f, -1.0f}) {
        RenderScaleController other;
        other.update(0.5f, -1.0);
        CaptureStdout();
        EXPECT_TRUE(other.update(bad, 0.001));
        other.update(bad, 0.001);
        const std::string said = GetCapturedStdout();
        EXPECT_NE(said.find("Config: 'render_scale="), std::string::npos) << said;
        EXPECT_NE(said.find("contains a bad value and will be skipped"), std::string::npos) << said;
        EXPECT_EQ(said.find("bad value", said.find("bad value") + 1), std::string::npos) << "once: " << said;
        EXPECT_TRUE(other.automatic());
        EXPECT_EQ(other.scale(), 1.0f);
    }
}

} // namespace
