#include "app/Game.h"
#include "files/Replay.h"
#include "files/ReplayPlayer.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

// Three flights recorded in the real game (tools/replays/record.sh) must still end exactly as
// they did. A change of the game's behaviour fails here on purpose: when the change is
// intended, record them again (see README, "Replays").
class GoldenReplay : public ::testing::TestWithParam<const char*> {};

TEST_P(GoldenReplay, EndsAsRecorded)
{
    const fs::path folder = testkit::repositoryAssets() / ".." / "tests" / "replays";
    const std::string name = GetParam();
    std::string error;
    const auto replay = loadReplay(folder / (name + ".qfr"), error);
    ASSERT_TRUE(replay) << name << ": " << error;
    std::ifstream expectedFile(folder / (name + ".expected"));
    std::string expected;
    ASSERT_TRUE(std::getline(expectedFile, expected)) << "no expectation for " << name;

    // The game starts for the models the world is made of; the recording flies a run of its own.
    testkit::SandboxGame sandbox;
    std::string output;
    ASSERT_TRUE(sandbox.start(output)) << output;
    // A recording of the game as it was recorded is watchable in it: the world's fingerprint holds.
    EXPECT_TRUE(replayFitsThisGame(*replay, error)) << name << ": " << error;
    ReplayPlayer player(*replay);
    const auto run = player.makeRun();
    player.playToEnd(*run);
    EXPECT_EQ(finalStateLine(*run), expected);
}

INSTANTIATE_TEST_SUITE_P(Flights, GoldenReplay, ::testing::Values("pollen", "trees", "rain"));

} // namespace
