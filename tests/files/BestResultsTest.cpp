#include "files/BestResults.h"
#include "support/GameHarness.h"
#include "ui/HUD.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <fcntl.h>
#include <sys/file.h>
#include <time.h>
#include <unistd.h>
#include <utility>
#include <vector>

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

// 2026-12-08 17:00:00 UTC, and a run every minute after it.
constexpr std::time_t evening = 1796749200;
constexpr std::time_t minute = 60;

std::vector<std::pair<int, double>> results(const BestResults& records)
{
    std::vector<std::pair<int, double>> out;
    for (const BestRun& run : records.runs())
        out.emplace_back(run.result.level, run.result.seconds);
    return out;
}

TEST_F(BestResultsTest, TheTenBestRunsAreKeptInOrderAndReadBackNextTime)
{
    ::testing::internal::CaptureStdout();
    {
        BestResults records(file);
        EXPECT_FALSE(records.best()) << "no file: no record yet";
        EXPECT_TRUE(records.runs().empty());
        EXPECT_FALSE(records.newest());

        EXPECT_TRUE(records.submit({{1, 31.25}, evening})) << "the first run is a first place";
        EXPECT_EQ(records.newest(), 0u);
        EXPECT_FALSE(records.submit({{0, 14.0}, evening + minute})) << "second place is not a new best";
        EXPECT_EQ(records.newest(), 1u);
        EXPECT_TRUE(records.submit({{2, 3.0}, evening + 2 * minute})) << "a level beats any time";
        EXPECT_EQ(records.newest(), 0u);
        EXPECT_FALSE(records.submit({{1, 31.0}, evening + 3 * minute}));
        EXPECT_EQ(records.newest(), 2u) << "between the two on level 1";
        EXPECT_EQ(results(records), (std::vector<std::pair<int, double>>{{2, 3.0}, {1, 31.25}, {1, 31.0}, {0, 14.0}}));
        ASSERT_TRUE(records.best());
        EXPECT_EQ(records.best()->level, 2);
        EXPECT_EQ(records.runs()[2].when, evening + 3 * minute) << "each run keeps the time it was given";

        // Fill the table with short level-0 runs, the longest last: each goes in above the shorter ones.
        for (int i = 0; i < 6; ++i)
            EXPECT_FALSE(records.submit({{0, 1.0 + i}, evening + (4 + i) * minute}));
        ASSERT_EQ(records.runs().size(), 10u);
        EXPECT_EQ(records.runs().back().result.seconds, 1.0);

        // An eleventh run worse than all ten is dropped, and the table is not written for it.
        const std::string before = read(file);
        EXPECT_FALSE(records.submit({{0, 0.5}, evening + 11 * minute}));
        EXPECT_FALSE(records.newest()) << "nothing of the table to show as new";
        EXPECT_EQ(records.runs().size(), 10u);
        EXPECT_EQ(read(file), before);

        // One that makes the table pushes the tenth out.
        EXPECT_FALSE(records.submit({{0, 14.5}, evening + 12 * minute}));
        EXPECT_EQ(records.newest(), 3u);
        ASSERT_EQ(records.runs().size(), 10u);
        EXPECT_EQ(records.runs().back().result.seconds, 2.0) << "the 1.0 s run left the table";
    }
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "") << "a missing file is said nothing about";

    BestResults again(file);
    ASSERT_EQ(again.runs().size(), 10u);
    EXPECT_EQ(results(again)[0], (std::pair<int, double>{2, 3.0}));
    EXPECT_EQ(results(again)[3], (std::pair<int, double>{0, 14.5}));
    EXPECT_EQ(again.runs()[3].when, evening + 12 * minute) << "the time survives the file";
    EXPECT_FALSE(again.newest()) << "runs of an earlier session are not new";
    EXPECT_NE(read(file).find("run = 2 3.000 2026-12-08T17:02:00Z ended\n"), std::string::npos)
        << "a line a player can read:\n" << read(file);
    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(file.parent_path()))
        left.insert(entry.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string>{"best.txt", "best.txt.lock"})) << "no temporary file is left behind";
}

TEST_F(BestResultsTest, OfEqualResultsTheOlderRunStaysAhead)
{
    BestResults records(file);
    EXPECT_TRUE(records.submit({{1, 20.0}, evening}));
    EXPECT_FALSE(records.submit({{1, 20.0}, evening + minute})) << "a tie is not a new best";
    EXPECT_EQ(records.newest(), 1u) << "the tie goes below the run that got there first";
    EXPECT_EQ(records.runs()[0].when, evening);

    // The same holds in a table read back, however its lines were put in order.
    write(file, "format = 2\nrun = 1 20.000 2026-12-08T17:01:00Z\nrun = 1 20.000 2026-12-08T17:00:00Z\n"
                "run = 1 20.000\nrun = 3 1.000 2026-12-08T17:05:00Z\n");
    BestResults reread(file);
    ASSERT_EQ(reread.runs().size(), 4u);
    EXPECT_EQ(reread.runs()[0].result.level, 3) << "the best first, whatever the order in the file";
    EXPECT_FALSE(reread.runs()[1].when) << "a run without a time is older than any with one";
    EXPECT_EQ(reread.runs()[2].when, evening);
    EXPECT_EQ(reread.runs()[3].when, evening + minute);

    // A table of more than ten (written by hand) keeps the best ten.
    std::string many = "format = 2\n";
    for (int i = 0; i < 12; ++i)
        many += "run = 0 " + std::to_string(i) + "\n";
    write(file, many);
    BestResults trimmed(file);
    ASSERT_EQ(trimmed.runs().size(), 10u);
    EXPECT_EQ(trimmed.runs().front().result.seconds, 11.0);
    EXPECT_EQ(trimmed.runs().back().result.seconds, 2.0);
}

TEST_F(BestResultsTest, TheRecordOfEarlierVersionsIsReadAsATableOfOne)
{
    write(file, "level = 2\nseconds = 40.000\n");
    ::testing::internal::CaptureStdout();
    BestResults records(file);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    ASSERT_EQ(records.runs().size(), 1u);
    EXPECT_EQ(records.runs()[0].result.level, 2);
    EXPECT_EQ(records.runs()[0].result.seconds, 40.0);
    EXPECT_FALSE(records.runs()[0].when) << "the old file never said when";
    EXPECT_EQ(localDateTime(records.runs()[0].when), "");

    EXPECT_FALSE(records.submit({{2, 39.0}, evening})) << "the old record still counts";
    EXPECT_EQ(read(file), "# Quillfen's best runs, best first: level, seconds, when the run ended (UTC),\n"
                          "# whether it ended (by death or time) or was given up, and who played it\n"
                          "format = 3\n"
                          "run = 2 40.000 - ended\n"
                          "run = 2 39.000 2026-12-08T17:00:00Z ended\n");
}

TEST_F(BestResultsTest, TheTimeOfARunReadsAsLocalDateAndTime)
{
    {
        testkit::ScopedEnv env;
        // Zones spelled out, so no time-zone database is needed.
        env.set("TZ", "CET-1");
        ::tzset();
        EXPECT_EQ(localDateTime(evening), "2026-12-08 18:00");
        env.set("TZ", "UTC0");
        ::tzset();
        EXPECT_EQ(localDateTime(evening + 90 * minute), "2026-12-08 18:30");
        EXPECT_EQ(localDateTime(std::nullopt), "");
    }
    ::tzset();
}

TEST_F(BestResultsTest, ALeftoverTemporaryFileNeverReplacesTheRecord)
{
    write(file, formatBestRuns({{{2, 10.0}, evening}}));
    // A write cut short by a crash leaves its temporary file next to the record.
    write(file.parent_path() / ".best.txt.quillfen-tmp-Xa81Qz", formatBestRuns({{{9, 99.0}, evening}}));
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
        std::string(1024 * 1024, '#') + "\nlevel = 3\nseconds = 1\n", // far too large for a table
        "level = 99999999999\nseconds = 1\n",     // out of range
        "",                                       // nothing at all
        "format = 1\nrun = 1 2.0\n",              // a format this game does not know
        "format = two\nrun = 1 2.0\n",            // nor a format at all
        "format = 3\nrun = 1 2.0\n",              // no time and ending
        "format = 3\nrun = 1 2.0 2026-12-08T17:00:00Z\n", // no ending
        "format = 3\nrun = 1 2.0 - lost Ada\n",   // an ending there is not
        "format = 3\nrun = 1 2.0 yesterday ended\n", // a time that is none
        "run = 1 2.0\n",                          // a run before the format line
        "format = 2\nlevel = 3\nseconds = 1\n",   // the old keys in the new format
        "level = 3\nseconds = 1\nformat = 2\n",   // and the other way round
        "format = 2\nformat = 2\n",               // the format twice
        "format = 2\nrun = 1\n",                  // no seconds
        "format = 2\nrun = 1 2.0 2026-12-08T17:00:00Z extra\n", // a field too many
        "format = 2\nrun = 1 2.0 2026-02-30T17:00:00Z\n",       // no such day
        "format = 2\nrun = 1 2.0 2026-12-08T24:00:00Z\n",       // no such hour
        "format = 2\nrun = 1 2.0 1969-12-31T23:59:59Z\n",       // before the clock starts
        "format = 2\nrun = 1 2.0 2026-12-08 17:00:00\n",        // not the file's way of writing it
        "format = 2\nrun = 1 2.0 2026-12-08T17:00:0Z\n",        // a digit short
        "format = 2\nrun = 1 -2.0\n",                           // negative
    };
    for (const std::string& text : damaged) {
        SCOPED_TRACE(text.substr(0, 60));
        fs::remove_all(scratch / "quillfen");
        write(file, text);
        ::testing::internal::CaptureStdout();
        BestResults records(file);
        const std::string said = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(said, "Best: " + file.string() + " could not be read; it is kept as " + file.string() + ".bad\n");
        EXPECT_FALSE(records.best());
        EXPECT_FALSE(fs::exists(file));
        EXPECT_EQ(read(file.string() + ".bad"), text);
        EXPECT_TRUE(records.submit({{0, 3.5}, evening}));
        EXPECT_EQ(read(file), formatBestRuns({{{0, 3.5}, evening}}));
    }
}

TEST_F(BestResultsTest, EveryDamagedRecordIsKeptUnderANameOfItsOwn)
{
    // Three damaged files in turn: none of the copies may overwrite an earlier one.
    for (int i = 0; i < 3; ++i) {
        write(file, "damaged " + std::to_string(i));
        ::testing::internal::CaptureStdout();
        BestResults records(file);
        const std::string aside = file.string() + (i == 0 ? ".bad" : ".bad." + std::to_string(i));
        EXPECT_EQ(::testing::internal::GetCapturedStdout(),
                  "Best: " + file.string() + " could not be read; it is kept as " + aside + "\n");
    }
    EXPECT_EQ(read(file.string() + ".bad"), "damaged 0");
    EXPECT_EQ(read(file.string() + ".bad.1"), "damaged 1");
    EXPECT_EQ(read(file.string() + ".bad.2"), "damaged 2");
}

TEST_F(BestResultsTest, EachRunKeepsWhoPlayedItAndWhetherItWasGivenUpAndOlderFormatsStillRead)
{
    BestResults records(file);
    EXPECT_TRUE(records.submit({{2, 37.4}, evening, "Ada Lovelace", true}));
    EXPECT_FALSE(records.submit({{1, 12.0}, evening + minute, "  Grace\nHopper\t", false}));
    EXPECT_FALSE(records.submit({{1, 11.0}, std::nullopt, "", false}));
    const std::string longName = std::string(BestResults::maxNameBytes - 1, 'x') + "ÿ and more";
    EXPECT_FALSE(records.submit({{0, 1.0}, evening, longName, false}));
    EXPECT_NE(read(file).find("run = 2 37.400 2026-12-08T17:00:00Z given-up Ada Lovelace\n"), std::string::npos)
        << read(file);

    const BestResults again(file);
    ASSERT_EQ(again.runs().size(), 4u);
    EXPECT_EQ(again.runs()[0].name, "Ada Lovelace");
    EXPECT_TRUE(again.runs()[0].givenUp);
    EXPECT_EQ(again.runs()[1].name, "Grace Hopper") << "a name is one line, without spaces at its ends";
    EXPECT_FALSE(again.runs()[1].givenUp);
    EXPECT_EQ(again.runs()[2].name, "");
    EXPECT_FALSE(again.runs()[2].when);
    EXPECT_EQ(again.runs()[3].name, std::string(BestResults::maxNameBytes - 1, 'x')) << "never half a character";

    // The format before it, and the one-record file before that: no names, nothing given up.
    write(file, "format = 2\nrun = 1 20.000 2026-12-08T17:00:00Z\nrun = 0 5.5\n");
    const BestResults second(file);
    ASSERT_EQ(second.runs().size(), 2u);
    EXPECT_EQ(second.runs()[0].when, evening);
    EXPECT_EQ(second.runs()[1].result.seconds, 5.5);
    EXPECT_FALSE(second.runs()[0].givenUp);
    EXPECT_EQ(second.runs()[0].name, "");
    write(file, "# kept by hand\n" + std::string(20000, '#') + "\nformat = 3\nrun = 1 2.000 - ended Ada\n");
    ::testing::internal::CaptureStdout();
    const BestResults commented(file);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "") << "long comments are part of the format";
    ASSERT_EQ(commented.runs().size(), 1u);
    EXPECT_EQ(commented.runs()[0].name, "Ada");
}

TEST_F(BestResultsTest, TimesCountToTheTenthShownAndEqualOnesAreOrderedByDate)
{
    BestResults records(file);
    ASSERT_TRUE(records.submit({{1, 20.04}, evening + minute}));
    // 20.0 S on the screen, both: the run that got there first holds the place.
    EXPECT_FALSE(records.submit({{1, 20.01}, evening + 2 * minute})) << "not a new best: it reads the same";
    EXPECT_EQ(records.newest(), 1u);
    EXPECT_FALSE(records.submit({{1, 19.96}, evening})) << "an earlier run of the same tenth, added later";
    EXPECT_EQ(records.newest(), 0u);
    EXPECT_TRUE(records.submit({{1, 20.06}, evening + 3 * minute})) << "20.1 S beats 20.0 S";
    EXPECT_EQ(tenthsOf(37.44), 374);
    EXPECT_EQ(tenthsOf(37.46), 375);

    // The place a run takes, or would take.
    EXPECT_EQ(records.placeOf(records.runs()[2]), 3u);
    EXPECT_EQ(records.placeOf({{1, 20.0}, evening + 9 * minute}), 5u) << "below the three of 20.0 S before it";
    EXPECT_EQ(records.placeOf({{9, 0.0}, evening}), 1u);
    for (int i = 0; i < 6; ++i)
        records.submit({{0, 10.0 + i}, evening});
    ASSERT_EQ(records.runs().size(), 10u);
    EXPECT_EQ(records.placeOf(records.runs().back()), 10u);
    EXPECT_FALSE(records.placeOf({{0, 9.0}, evening})) << "outside the ten";
}

TEST_F(BestResultsTest, TwoCopiesOfTheGameKeepEachOthersRuns)
{
    BestResults first(file);
    BestResults second(file);
    int keptAsBest = 0;
    const auto keep = [&keptAsBest] { ++keptAsBest; };
    EXPECT_TRUE(first.submit({{1, 10.0}, evening}, keep));
    EXPECT_EQ(keptAsBest, 1);
    // The second copy read an empty table at its start: its run is not a new best against the file.
    EXPECT_FALSE(second.submit({{0, 20.0}, evening + minute}, keep));
    EXPECT_EQ(keptAsBest, 1) << "best.qfr would have been replaced by a run that is not the best";
    EXPECT_EQ(second.newest(), 1u);
    EXPECT_TRUE(second.submit({{2, 5.0}, evening + 2 * minute}, keep));
    EXPECT_EQ(keptAsBest, 2);
    EXPECT_FALSE(first.submit({{0, 1.0}, evening + 3 * minute}, keep));
    EXPECT_EQ(first.runs().size(), 4u) << "the other copy's runs are in the table";
    EXPECT_EQ(BestResults(file).runs().size(), 4u);

    // A copy that holds the lock while it writes: the run it adds is read before this one is merged.
    const int lockFd = ::open((file.string() + ".lock").c_str(), O_RDWR);
    ASSERT_GE(lockFd, 0) << "the lock file lies beside the table";
    ASSERT_EQ(::flock(lockFd, LOCK_EX), 0);
    std::thread other([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        write(file, formatBestRuns({{{3, 1.0}, evening + 4 * minute}}));
        ::flock(lockFd, LOCK_UN);
    });
    EXPECT_FALSE(first.submit({{0, 2.0}, evening + 5 * minute}, keep));
    other.join();
    ::close(lockFd);
    ASSERT_EQ(first.runs().size(), 2u) << "written against the table as the other copy left it";
    EXPECT_EQ(first.runs()[0].result.level, 3);
    EXPECT_EQ(read(file), formatBestRuns(first.runs()));
}

TEST_F(BestResultsTest, AFileOfANewerFormatOrThatCannotBeReadIsLeftAsItIs)
{
    // A newer game's table: never moved aside, never written over, said once.
    const std::string newer = "format = " + std::to_string(BestResults::formatVersion + 1) + "\nrun = 9 9 9 9 9\n";
    write(file, newer);
    ::testing::internal::CaptureStdout();
    {
        BestResults records(file);
        EXPECT_TRUE(records.runs().empty());
        EXPECT_TRUE(records.submit({{1, 1.0}, evening})) << "kept for the session";
        EXPECT_FALSE(records.submit({{0, 1.0}, evening}));
        EXPECT_EQ(records.runs().size(), 2u);
    }
    std::string said = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(said, "Best: " + file.string() +
                        " was written by a newer version of the game; it is left as it is, and the runs of this "
                        "game are not saved\n");
    EXPECT_EQ(read(file), newer);
    EXPECT_FALSE(fs::exists(file.string() + ".bad"));

    // A read that fails (an I/O error, here from a file that reads as one) is no damage either.
    fs::remove(file);
    fs::create_symlink("/proc/self/mem", file);
    ::testing::internal::CaptureStdout();
    {
        BestResults records(file);
        EXPECT_TRUE(records.submit({{1, 1.0}, evening}));
    }
    said = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(said.find("could not be read (Input/output error); it is left as it is"), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_EQ(fs::read_symlink(file), "/proc/self/mem");
    EXPECT_FALSE(fs::exists(file.string() + ".bad"));

    // A file the player may not read (as another user when the test runs as root).
    fs::remove(file);
    write(file, formatBestRuns({{{4, 4.0}, evening}}));
    fs::permissions(file, fs::perms::none);
    fs::permissions(file.parent_path(), fs::perms::all);
    const bool asRoot = ::geteuid() == 0;
    ::testing::internal::CaptureStdout();
    if (asRoot) {
        ASSERT_EQ(::seteuid(65534), 0);
    }
    {
        BestResults records(file);
        EXPECT_TRUE(records.runs().empty());
        records.submit({{1, 1.0}, evening});
    }
    if (asRoot) {
        ASSERT_EQ(::seteuid(0), 0);
    }
    said = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(said.find("could not be read (Permission denied); it is left as it is"), std::string::npos) << said;
    fs::permissions(file, fs::perms::owner_read);
    EXPECT_EQ(read(file), formatBestRuns({{{4, 4.0}, evening}}));
    EXPECT_FALSE(fs::exists(file.string() + ".bad"));
}

TEST_F(BestResultsTest, AFolderInPlaceOfTheFileIsDamageToo)
{
    fs::create_directories(file / "inside");
    ::testing::internal::CaptureStdout();
    BestResults records(file);
    EXPECT_NE(::testing::internal::GetCapturedStdout().find("could not be read; it is kept as"), std::string::npos);
    EXPECT_TRUE(fs::is_directory(file.string() + ".bad"));
    EXPECT_TRUE(records.submit({{1, 1.0}, evening}));
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
    const BestResults& records = *h.game.records;
    ASSERT_EQ(records.runs().size(), 1u);
    EXPECT_EQ(read(file), formatBestRuns(records.runs()));
    EXPECT_TRUE(records.runs()[0].when) << "the game notes when the run ended";

    // Over for a while, then a restart: a shorter second game is not a new best but takes
    // second place, and its seconds count from the restart, not from the start.
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
    ASSERT_EQ(records.runs().size(), 2u);
    EXPECT_NEAR(records.runs()[1].result.seconds, 2.1, 0.11);
    EXPECT_EQ(records.newest(), 1u);
    EXPECT_EQ(read(file), formatBestRuns(records.runs()));
}

} // namespace
