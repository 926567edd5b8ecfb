#include "ui/HUD.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace {

constexpr float tolerance = 1e-4f;

class HUDState : public ::testing::Test {
protected:
    // One frame of the HUD: the player as it stands and what the rules decided in that step.
    void frame(float health, float time, int level, float dt = 0.1f, std::initializer_list<RuleEvent> happened = {})
    {
        RuleEvents events;
        for (RuleEvent event : happened)
            events.push(event);
        hud.observe({health, time, level}, dt, true, events);
    }

    HUD hud;
};

TEST_F(HUDState, StartShowsFullHealthLevelZeroAndTheTime)
{
    frame(5.0f, 14.9f, 0);
    EXPECT_NEAR(hud.healthPercent, 100.0f, tolerance);
    EXPECT_EQ(hud.shownLevel, 0);
    EXPECT_NEAR(hud.shownTime, 14.9f, tolerance);
    EXPECT_EQ(hud.fps, 10);
    EXPECT_FALSE(hud.levelBannerActive);
}

TEST_F(HUDState, NewLevelStartsTheBannerAndResetsTheHundredPercent)
{
    frame(5.0f, 5.0f, 2);
    hud.levelBannerActive = false;
    hud.levelBannerTime = 0.0f;
    frame(6.5f, 10.0f, 3, 0.25f, {RuleEvent::LevelUp});
    EXPECT_TRUE(hud.levelBannerActive);
    EXPECT_NEAR(hud.levelBannerTime, 0.25f, tolerance);
    EXPECT_NEAR(hud.healthPercent, 130.0f, tolerance) << "percent of the old reference in that frame";
    frame(6.5f, 9.0f, 3, 0.25f);
    EXPECT_NEAR(hud.healthPercent, 100.0f, tolerance);
    EXPECT_NEAR(hud.levelBannerTime, 0.5f, tolerance);
}

TEST_F(HUDState, DiedAndOutOfTimeExcludeEachOtherUntilRestart)
{
    frame(5.0f, 3.0f, 1);
    frame(-1.0f, 2.0f, 1, 0.1f, {RuleEvent::Died});
    EXPECT_TRUE(hud.died);
    EXPECT_FLOAT_EQ(hud.healthPercent, 0.0f) << "negative health shows as 0 %";
    EXPECT_NEAR(hud.shownTime, 3.0f, tolerance) << "the time freezes while dead";
    frame(-1.0f, -1.0f, 1, 0.1f, {RuleEvent::OutOfTime});
    EXPECT_FALSE(hud.outOfTime);
    EXPECT_NEAR(hud.shownTime, 3.0f, tolerance);

    frame(5.0f, 15.0f, 0, 0.1f, {RuleEvent::Restarted});
    EXPECT_FALSE(hud.died);
    EXPECT_EQ(hud.shownLevel, 0);
    EXPECT_NEAR(hud.shownTime, 15.0f, tolerance);
    frame(5.0f, 14.0f, 0);
    EXPECT_FALSE(hud.died) << "a restart is heard once, and stays";

    frame(5.0f, -0.5f, 0, 0.1f, {RuleEvent::OutOfTime});
    EXPECT_TRUE(hud.outOfTime);
    EXPECT_FLOAT_EQ(hud.shownTime, 0.0f);
    frame(-2.0f, -0.5f, 0, 0.1f, {RuleEvent::Died});
    EXPECT_FALSE(hud.died) << "out of time came first";
}

TEST_F(HUDState, ZeroFrameTimeKeepsASaneRate)
{
    frame(5.0f, 10.0f, 0, 0.02f);
    EXPECT_EQ(hud.fps, 50);
    frame(5.0f, 10.0f, 0, 0.0f);
    EXPECT_EQ(hud.fps, 50);
    frame(5.0f, 10.0f, 0, 1e-30f);
    EXPECT_GT(hud.fps, 0);
    EXPECT_LE(hud.fps, 99999);
}

TEST_F(HUDState, RestartAtAHigherLevelDoesNotStartABanner)
{
    frame(5.0f, 10.0f, 4);
    hud.levelBannerActive = false;
    frame(5.0f, 15.0f, 0, 0.1f, {RuleEvent::Restarted});
    EXPECT_FALSE(hud.levelBannerActive);
    EXPECT_NEAR(hud.healthReference, 5.0f, tolerance);
}

TEST_F(HUDState, SoundNoticeShowsForTwoSecondsAfterEachToggleOnly)
{
    hud.observeSound(false, 0.1f);
    EXPECT_EQ(hud.soundNotice(), nullptr) << "nothing to say before M is pressed";
    hud.observeSound(true, 0.1f);
    EXPECT_STREQ(hud.soundNotice(), "SOUND OFF");
    for (int i = 0; i < 19; ++i)
        hud.observeSound(true, 0.1f);
    EXPECT_STREQ(hud.soundNotice(), "SOUND OFF") << "still within two seconds";
    hud.observeSound(true, 0.2f);
    EXPECT_EQ(hud.soundNotice(), nullptr) << "gone after two seconds, though the sound stays off";
    hud.observeSound(false, 0.1f);
    EXPECT_STREQ(hud.soundNotice(), "SOUND ON");
}

} // namespace
