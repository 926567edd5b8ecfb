#include "files/UserFolders.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class UserFoldersTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        scratch = fs::temp_directory_path() / ("quillfen-user-" + std::to_string(::getpid()));
        fs::remove_all(scratch);
        fs::create_directories(scratch);
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
    static void age(const fs::path& path, std::chrono::minutes by)
    {
        fs::last_write_time(path, fs::file_time_type::clock::now() - by);
    }
    static std::set<std::string> names(const fs::path& folder)
    {
        std::set<std::string> out;
        for (const auto& entry : fs::directory_iterator(folder))
            out.insert(entry.path().filename().string());
        return out;
    }

    fs::path scratch;
    testkit::ScopedEnv env;
};

// Runs first, before any test starts a thread (the write is cut short in a forked child).
using UserFoldersDeathTest = UserFoldersTest;

TEST_F(UserFoldersTest, FoldersFollowTheXdgVariablesAndFallBackToHome)
{
    env.set("HOME", scratch.c_str());
    env.set("XDG_DATA_HOME", (scratch / "data").c_str());
    env.set("XDG_CONFIG_HOME", (scratch / "conf").c_str());
    EXPECT_EQ(userDataFolder(), scratch / "data" / "quillfen");
    EXPECT_EQ(userConfigFolder(), scratch / "conf" / "quillfen");

    // Empty and relative values are ignored, as the base-directory rules say.
    env.set("XDG_DATA_HOME", "");
    env.set("XDG_CONFIG_HOME", "relative/conf");
    EXPECT_EQ(userDataFolder(), scratch / ".local/share/quillfen");
    EXPECT_EQ(userConfigFolder(), scratch / ".config/quillfen");

    env.set("XDG_DATA_HOME", nullptr);
    env.set("HOME", nullptr);
    EXPECT_TRUE(userDataFolder().empty()) << "no home, no folder: never the working directory";
}

TEST_F(UserFoldersTest, AtomicWriteCreatesTheFolderReplacesTheFileAndLeavesNothingBehind)
{
    const fs::path file = scratch / "a" / "b" / "best.txt";
    std::string error;
    ASSERT_TRUE(writeFileAtomically(file, "level = 1\n", error)) << error;
    ASSERT_TRUE(writeFileAtomically(file, "level = 2\n", error)) << error;
    EXPECT_EQ(read(file), "level = 2\n");
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(file.parent_path()))
        ++entries;
    EXPECT_EQ(entries, 1) << "no temporary file is left beside the record";
}

TEST_F(UserFoldersTest, FailuresSayWhyAndLeaveNoTemporaryFile)
{
    // A plain file where the folder should be stops even root.
    std::ofstream(scratch / "blocker") << "x";
    std::string error;
    EXPECT_FALSE(writeFileAtomically(scratch / "blocker" / "best.txt", "x", error));
    EXPECT_NE(error.find("blocker"), std::string::npos) << error;

    // The rename is refused when a non-empty folder stands where the file goes.
    fs::create_directories(scratch / "taken" / "inside");
    error.clear();
    EXPECT_FALSE(writeFileAtomically(scratch / "taken", "x", error));
    EXPECT_FALSE(error.empty());
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(scratch))
        ++entries;
    EXPECT_EQ(entries, 2) << "only the blocker and the folder: the temporary file is gone";
}

TEST_F(UserFoldersDeathTest, AWriteCutShortLeavesATemporaryFileThatTheNextStartRemoves)
{
    env.set("XDG_DATA_HOME", scratch.c_str());
    const fs::path replays = userDataFolder() / "replays";
    // A game killed halfway through saving a replay: the file-size limit stops it mid-write.
    const auto cutShort = [&replays] {
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = 4096;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::string error;
        writeFileAtomically(replays / "last.qfr", std::string(1 << 20, 'r'), error);
        std::exit(0);
    };
    EXPECT_EXIT(cutShort(), ::testing::KilledBySignal(SIGXFSZ), "");
    const std::set<std::string> left = names(replays);
    ASSERT_EQ(left.size(), 1u) << "the cut write left its temporary file";
    const fs::path leftover = replays / *left.begin();
    EXPECT_EQ(leftover.filename().string().front(), '.') << "hidden";

    EXPECT_EQ(removeStaleTemporaryFiles(), 0u) << "it may be another copy of the game writing right now";
    EXPECT_TRUE(fs::exists(leftover));
    age(leftover, std::chrono::minutes(11));
    EXPECT_EQ(removeStaleTemporaryFiles(), 1u);
    EXPECT_TRUE(names(replays).empty());
}

TEST_F(UserFoldersTest, OnlyTheGamesOwnStaleTemporaryFilesAreRemoved)
{
    env.set("XDG_DATA_HOME", scratch.c_str());
    const fs::path data = userDataFolder();
    const fs::path replays = data / "replays";
    const std::set<std::string> gone = {".best.txt.quillfen-tmp-Ab12Cd"};
    const std::set<std::string> goneReplays = {".last.qfr.quillfen-tmp-0aZ9yY", ".other.qfr.quillfen-tmp-abcdef"};
    // The player's files and folders, and names that only look like ours.
    const std::set<std::string> kept = {"best.txt", "best.txt.bad", ".notes.txt.abcdef", ".quillfen-tmp-abcdef",
                                        ".best.txt.quillfen-tmp-Ab12C", ".best.txt.quillfen-tmp-Ab1-Cd",
                                        ".best.txt.quillfen-tmp-Ab12Cde", "best.txt.quillfen-tmp-Ab12Cd",
                                        ".best.txt.Xa81Q", ".last.qfr.Xa81Qz", ".best.txt.backup", ".best.txt.Xa81Qz",
                                        "replays", "screenshots"};
    const std::set<std::string> keptReplays = {"last.qfr", "mine.qfr", ".mine.qfr.bak001", ".best.qfr.q1W2e3",
                                               ".link.qfr.quillfen-tmp-abcdef", ".folder.quillfen-tmp-abcdef"};
    for (const std::string& name : gone)
        write(data / name, "x");
    for (const std::string& name : goneReplays)
        write(replays / name, "x");
    for (const std::string& name : kept)
        if (name != "replays" && name != "screenshots")
            write(data / name, "x");
    write(data / "screenshots" / ".shot.png.quillfen-tmp-abcdef", "x");
    for (const char* name : {"last.qfr", "mine.qfr", ".mine.qfr.bak001", ".best.qfr.q1W2e3"})
        write(replays / name, "x");
    // A link is never followed, nor removed; nor is a folder.
    write(scratch / "elsewhere.qfr", "precious");
    fs::create_symlink(scratch / "elsewhere.qfr", replays / ".link.qfr.quillfen-tmp-abcdef");
    fs::create_directories(replays / ".folder.quillfen-tmp-abcdef");
    for (const fs::path& folder : {data, replays, data / "screenshots"})
        for (const auto& entry : fs::directory_iterator(folder))
            if (!entry.is_symlink())
                age(entry.path(), std::chrono::hours(24));

    EXPECT_EQ(removeStaleTemporaryFiles(), gone.size() + goneReplays.size());
    EXPECT_EQ(names(data), kept);
    EXPECT_EQ(names(replays), keptReplays);
    EXPECT_EQ(read(scratch / "elsewhere.qfr"), "precious");
    EXPECT_TRUE(fs::exists(data / "screenshots" / ".shot.png.quillfen-tmp-abcdef")) << "only the two folders";

    // No data folder yet, or none at all: nothing to do, nothing said.
    env.set("XDG_DATA_HOME", (scratch / "empty").c_str());
    EXPECT_EQ(removeStaleTemporaryFiles(), 0u);
    env.set("XDG_DATA_HOME", nullptr);
    env.set("HOME", nullptr);
    EXPECT_EQ(removeStaleTemporaryFiles(), 0u);
}

TEST_F(UserFoldersTest, MovingAsideNeverOverwritesAnEarlierCopy)
{
    const fs::path file = scratch / "best.txt";
    write(scratch / "best.txt.bad", "first");
    write(scratch / "best.txt.bad.1", "second");
    write(file, "third");
    std::string error;
    EXPECT_EQ(moveAside(file, error), scratch / "best.txt.bad.2") << error;
    EXPECT_EQ(read(scratch / "best.txt.bad"), "first");
    EXPECT_EQ(read(scratch / "best.txt.bad.1"), "second");
    EXPECT_EQ(read(scratch / "best.txt.bad.2"), "third");
    EXPECT_FALSE(fs::exists(file));

    // A folder in the file's place goes aside too; nothing there at all is an error that says why.
    fs::create_directories(file / "inside");
    EXPECT_EQ(moveAside(file, error), scratch / "best.txt.bad.3");
    EXPECT_TRUE(fs::is_directory(scratch / "best.txt.bad.3" / "inside"));
    error.clear();
    EXPECT_TRUE(moveAside(file, error).empty());
    EXPECT_FALSE(error.empty());
}

} // namespace
