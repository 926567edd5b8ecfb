#include "app/BestResults.h"
#include "app/HUD.h"
#include "support/GameHarness.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class BestResultsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        scratch = fs::temp_directory_path() / ("quillfen-best-" + std::to_string(::getpid()));
        fs::remove_all(scratch);
        fs::create_directories(scratch);
        file = scratch / "quillfen" / "best.txt";
    }
    void TearDown() override { fs::remove_all(scratch); }

    static std::string read(const fs::path& path)
    {
        std::ifstream in(path);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    static void write(const fs::path& path, const std::string& text)
    {
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }

    fs::path scratch;
    fs::path file;
};

TEST_F(BestResultsTest, ALevelBeatsAnyTimeAndTimeDecidesWithinALevel)
{
    EXPECT_TRUE(beats({2, 1.0}, {1, 500.0}));
    EXPECT_FALSE(beats({1, 500.0}, {2, 1.0}));
    EXPECT_TRUE(beats({1, 20.5}, {1, 20.0}));
    EXPECT_FALSE(beats({1, 20.0}, {1, 20.0})) << "a tie is not a new record";
}

TEST_F(BestResultsTest, KeepsOnlyBetterRunsAndReadsThemBackNextTime)
{
    ::testing::internal::CaptureStdout();
    {
        BestResults records(file);
        EXPECT_FALSE(records.best()) << "no file: no record yet";
        EXPECT_TRUE(records.submit({1, 31.25}));
        EXPECT_FALSE(records.submit({0, 14.0}));
        EXPECT_FALSE(records.submit({1, 31.25}));
    }
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "") << "a missing file is said nothing about";
    BestResults again(file);
    ASSERT_TRUE(again.best());
    EXPECT_EQ(again.best()->level, 1);
    EXPECT_DOUBLE_EQ(again.best()->seconds, 31.25);
    EXPECT_TRUE(again.submit({1, 40.0}));
    EXPECT_EQ(read(file), "level = 1\nseconds = 40.000\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), fs::directory_iterator()), 1)
        << "no temporary file is left behind";
}

TEST_F(BestResultsTest, ALeftoverTemporaryFileNeverReplacesTheRecord)
{
    write(file, formatBestResult({2, 10.0}));
    // A write cut short by a crash leaves its temporary file next to the record.
    write(file.parent_path() / ".best.txt.Xa81Qz", formatBestResult({9, 99.0}));
    BestResults records(file);
    ASSERT_TRUE(records.best());
    EXPECT_EQ(records.best()->level, 2);
}

TEST_F(BestResultsTest, ADamagedRecordIsMovedAsideWithOneMessageAndWrittenFresh)
{
    const std::string damaged[] = {
        "level = 3\nseconds = 12.0\nlives = 2\n", // unknown key
        "level = three\nseconds = 12.0\n",        // bad number
        "level = 3\nseconds = 12.0s\n",           // trailing rubbish
        "level = -1\nseconds = 12.0\n",           // negative
        "level = 3\nseconds = -0.5\n",            // negative
        "level = 3\nseconds = nan\n",             // not a number
        "level = 3\n",                            // half a record
        "level = 3\nlevel = 4\nseconds = 1\n",    // twice
        "level 3\nseconds 12\n",                  // no equals sign
        std::string(5000, '\n') + "level = 3\nseconds = 1\n", // far too large
        "level = 99999999999\nseconds = 1\n",     // out of range
    };
    for (const std::string& text : damaged) {
        SCOPED_TRACE(text.substr(0, 40));
        fs::remove_all(scratch / "quillfen");
        write(file, text);
        ::testing::internal::CaptureStdout();
        BestResults records(file);
        const std::string said = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(said, "Best: " + file.string() + " could not be read; it is kept as " + file.string() + ".bad\n");
        EXPECT_FALSE(records.best());
        EXPECT_FALSE(fs::exists(file));
        EXPECT_EQ(read(file.string() + ".bad"), text);
        EXPECT_TRUE(records.submit({0, 3.5}));
        EXPECT_EQ(read(file), formatBestResult({0, 3.5}));
    }
}

TEST_F(BestResultsTest, AFolderInPlaceOfTheFileIsDamageToo)
{
    fs::create_directories(file / "inside");
    ::testing::internal::CaptureStdout();
    BestResults records(file);
    EXPECT_NE(::testing::internal::GetCapturedStdout().find("could not be read; it is kept as"), std::string::npos);
    EXPECT_TRUE(fs::is_directory(file.string() + ".bad"));
    EXPECT_TRUE(records.submit({1, 1.0}));
    EXPECT_TRUE(fs::is_regular_file(file));
}

TEST_F(BestResultsTest, AnUnwritableFolderIsReportedOnceAndTheGamePlaysOn)
{
    // A plain file where the folder should be: no one, root included, can write below it.
    write(scratch / "blocked", "");
    testkit::GameHarness h;
    h.game.records = std::make_unique<BestResults>(scratch / "blocked" / "quillfen" / "best.txt");
    ::testing::internal::CaptureStdout();
    for (int game = 0; game < 2; ++game) {
        h.player->remainingTime = 0.5f + static_cast<float>(game);
        h.frames(120, 1.0f / 60.0f);
        ASSERT_TRUE(h.game.hud.outOfTime);
        h.press(GLFW_KEY_ENTER);
        h.frame(1.0f / 60.0f);
        h.release(GLFW_KEY_ENTER);
        h.frame(1.0f / 60.0f);
    }
    const std::string said = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(said.rfind("Best: the record could not be saved to ", 0), 0u) << said;
    EXPECT_EQ(said.find('\n'), said.size() - 1) << "one message, however many records: " << said;
    ASSERT_TRUE(h.game.records->best()) << "the record is still kept for this session";
    EXPECT_EQ(h.game.hud.best->level, 0);
}

TEST_F(BestResultsTest, AGameOverRecordsLevelAndSecondsSinceTheRestart)
{
    {
        testkit::ScopedEnv env;
        env.set("XDG_DATA_HOME", scratch.c_str());
        ASSERT_EQ(BestResults::defaultFile(), file);
    }

    testkit::GameHarness h;
    h.game.records = std::make_unique<BestResults>(file);
    constexpr float dt = 0.1f;
    // A first game runs out of its 15 s at level 0.
    h.frames(151, dt);
    ASSERT_TRUE(h.game.hud.outOfTime);
    ASSERT_TRUE(h.game.hud.best);
    EXPECT_TRUE(h.game.hud.newBest);
    EXPECT_EQ(h.game.hud.best->level, 0);
    EXPECT_NEAR(h.game.hud.best->seconds, 15.0, 0.11);
    const std::string first = read(file);
    EXPECT_EQ(first, formatBestResult(*h.game.hud.best));

    // Over for a while, then a restart: a shorter second game is not a record, and the
    // seconds count from the restart, not from the start.
    h.frames(50, dt);
    h.press(GLFW_KEY_ENTER);
    h.frame(dt);
    h.release(GLFW_KEY_ENTER);
    h.frame(dt);
    h.frames(20, dt);
    h.player->health = 0.0f;
    h.frame(dt);
    ASSERT_TRUE(h.game.hud.died);
    EXPECT_FALSE(h.game.hud.newBest);
    EXPECT_NEAR(h.game.hud.best->seconds, 15.0, 0.11);
    EXPECT_EQ(read(file), first);
}

} // namespace
