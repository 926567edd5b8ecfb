#include "files/Config.h"
#include "input/GameInput.h"
#include "physics/Player.h"
#include "run/Run.h"
#include "support/TestSupport.h"
#include "world/ParticleSystem.h"
#include "world/SegmentManager.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

constexpr double stepTime = 1.0 / 60.0;

// A run flown by a scripted hand: forward and a drift to the right for a while, then a climb,
// so the flight meets rain, pollen and the walls, and the rain draws from the run's sequence.
struct FlownRun {
    explicit FlownRun(const RunRules& rules = RunRules::defaults())
    {
        auto device = std::make_unique<testkit::FakeInputDevice>();
        keys = device.get();
        run = std::make_unique<Run>(rules, std::make_shared<GameInput>(std::move(device)));
    }

    void step(int index)
    {
        keys->pressed[GLFW_KEY_W] = index < 200;
        keys->pressed[GLFW_KEY_D] = index >= 100 && index < 220;
        keys->pressed[GLFW_KEY_SPACE] = index >= 150;
        run->step({stepTime, true, false});
    }

    // Everything of the world that a step could leave otherwise, bit for bit.
    std::vector<glm::vec3> state() const
    {
        Player& player = *run->player;
        std::vector<glm::vec3> out{player.getPosition(),
                                   glm::vec3(player.health, player.remainingTime, static_cast<float>(player.level)),
                                   glm::vec3(run->levelTimer, static_cast<float>(run->runSeconds), 0.0f)};
        for (const auto& segment : run->segmentManager->segments) {
            out.push_back(segment->getPosition());
            for (const auto& object : segment->contents)
                out.push_back(object->getPosition());
            for (const auto& drop : segment->rain->getChildren())
                out.push_back(drop->getPosition());
        }
        return out;
    }

    testkit::FakeInputDevice* keys = nullptr;
    std::unique_ptr<Run> run;
};

class RunTest : public ::testing::Test {
protected:
    RunTest() { resetSettings(); }
    ~RunTest() override { resetSettings(); }
};

TEST_F(RunTest, TwoRunsSteppedInTurnEachFlyAsOneAlone)
{
    constexpr int steps = 300;
    FlownRun alone;
    for (int i = 0; i < steps; ++i)
        alone.step(i);

    // The second run is a step behind and plays by other rules: a shared random sequence, shared
    // rules or a shared global anywhere would show in either of them.
    RunRules harder = RunRules::defaults();
    harder.settings.difficulty = 0.9f;
    harder.settings.moveSensitivity = 80.0f;
    FlownRun first;
    FlownRun second(harder);
    FlownRun harderAlone(harder);
    second.step(0);
    for (int i = 0; i < steps; ++i) {
        first.step(i);
        if (i + 1 < steps)
            second.step(i + 1);
    }
    for (int i = 0; i < steps; ++i)
        harderAlone.step(i);

    EXPECT_EQ(first.state(), alone.state());
    EXPECT_EQ(second.state(), harderAlone.state());
    EXPECT_EQ(first.run->random, alone.run->random);
    EXPECT_NE(first.state(), second.state()) << "the two flights should differ, or this proves nothing";
}

TEST_F(RunTest, TheRulesAreThoseTheRunWasMadeWithWhateverTheSettingsSayLater)
{
    FlownRun fixed;
    FlownRun reference;
    for (int i = 0; i < 120; ++i) {
        // The player's settings change under a run that is not theirs: it flies on unchanged.
        difficulty = i % 2 ? 0.1f : 0.9f;
        moveSensitivity = 10.0f + static_cast<float>(i);
        invert_mouse = 1.0f;
        fixed.step(i);
    }
    resetSettings();
    for (int i = 0; i < 120; ++i)
        reference.step(i);
    EXPECT_EQ(fixed.state(), reference.state());
}

} // namespace
