#include "run/GameRules.h"
#include "support/GameHarness.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr float tolerance = 1e-4f;

// The rule values of one game, starting as a fresh game does.
struct Rules {
    int level = 0;
    float health = 5.0f;
    float remainingTime = 15.0f;
    float levelTimer = 0.0f;
    bool restarted = false;

    void frame(float dt, bool enter = false, float difficulty = 0.5f)
    {
        applyGameRules({level, health, remainingTime, levelTimer, restarted}, enter, dt, difficulty, 5.0f);
    }
};

TEST(GameRules, LevelOneAfterFifteenSecondsWithBonusAndRefill)
{
    Rules r;
    r.health = 2.0f; // damage taken during level 0
    for (int i = 0; i < 16; ++i)
        r.frame(1.0f);
    // 15 s exactly is not past the level length; the 16th frame's check sees 15 and waits.
    EXPECT_EQ(r.level, 0);
    r.frame(1.0f);
    EXPECT_EQ(r.level, 1);
    EXPECT_NEAR(r.remainingTime, 15.0f + 9.8f, tolerance);
    EXPECT_NEAR(r.health, 5.5f, tolerance) << "health is set, not added";
    EXPECT_NEAR(r.levelTimer, 1.0f, tolerance) << "the timer restarts, then runs this frame";
}

TEST(GameRules, TimeBonusShrinksWithLevelAndDifficulty)
{
    EXPECT_NEAR(levelTimeBonus(1, 0.5f), 9.8f, tolerance);
    EXPECT_NEAR(levelTimeBonus(5, 0.5f), 5.0f, tolerance);
    EXPECT_FLOAT_EQ(levelTimeBonus(8, 0.5f), 0.0f);
    // Difficulty 1 or more behaves as 0.9955: nothing from level 1 on. The clamp itself shows
    // at level 0, where an unclamped 1.0 or 7.0 would divide 0 by 0 (or by NaN).
    EXPECT_FLOAT_EQ(levelTimeBonus(1, 1.0f), 0.0f);
    EXPECT_FLOAT_EQ(levelTimeBonus(0, 1.0f), 10.0f);
    EXPECT_FLOAT_EQ(levelTimeBonus(0, 7.0f), 10.0f);
    // Difficulty 0 or below, and NaN, behave as 0: the bonus reaches 0 at level 10.
    EXPECT_NEAR(levelTimeBonus(1, -3.0f), 9.9f, tolerance);
    EXPECT_NEAR(levelTimeBonus(1, std::numeric_limits<float>::quiet_NaN()), 9.9f, tolerance);
    EXPECT_GT(levelTimeBonus(9, 0.0f), 0.0f);
    EXPECT_FLOAT_EQ(levelTimeBonus(10, 0.0f), 0.0f);
}

TEST(GameRules, ExactlyZeroTimeIsStillPlaying)
{
    EXPECT_FALSE(isGameOver(5.0f, 0.0f));
    EXPECT_TRUE(isGameOver(5.0f, -0.001f));
    EXPECT_TRUE(isGameOver(0.0f, 10.0f));
    EXPECT_TRUE(isGameOver(-1.0f, 10.0f));
}

TEST(GameRules, EnterRestartsOnlyWhileOver)
{
    Rules r;
    r.level = 2;
    r.frame(0.1f, true);
    EXPECT_EQ(r.level, 2);
    EXPECT_FALSE(r.restarted);

    r.health = 0.0f;
    r.levelTimer = 7.0f;
    r.frame(0.1f, false);
    EXPECT_EQ(r.level, 2) << "no level-up while over";
    EXPECT_NEAR(r.levelTimer, 7.1f, tolerance) << "the timer keeps running while over";

    r.frame(0.1f, true);
    EXPECT_TRUE(r.restarted);
    EXPECT_EQ(r.level, 0);
    EXPECT_FLOAT_EQ(r.health, 5.0f);
    EXPECT_FLOAT_EQ(r.remainingTime, 15.0f);
    EXPECT_NEAR(r.levelTimer, 0.1f, tolerance);
}

TEST(GameRules, NoLevelUpWhileOutOfTime)
{
    Rules r;
    r.remainingTime = -0.5f;
    r.levelTimer = 20.0f;
    r.frame(0.1f);
    EXPECT_EQ(r.level, 0);
}

} // namespace

namespace {

// Enter pressed during play is forgotten: it must not restart the game the moment it later ends.
// At the game-over menu, Enter restarts at once.
TEST(GameRules, AnEnterDuringPlayIsNotKeptForTheNextGameOver)
{
    constexpr float dt = 1.0f / 60.0f;
    testkit::GameHarness h;
    const auto tapEnter = [&h] {
        h.press(GLFW_KEY_ENTER);
        h.frame(dt);
        h.release(GLFW_KEY_ENTER);
        h.frame(dt);
    };
    tapEnter();
    EXPECT_GT(h.player->health, 0.0f);

    h.player->health = 0.0f;
    h.frames(3, dt);
    EXPECT_FLOAT_EQ(h.player->health, 0.0f) << "still over: no restart without a new Enter";
    EXPECT_EQ(h.game.world()->ruleEvents.size(), 0u) << "the game's end is told once";
    tapEnter();
    EXPECT_FLOAT_EQ(h.player->health, 5.0f);
}

} // namespace
