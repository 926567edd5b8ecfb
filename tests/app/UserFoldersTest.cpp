#include "app/UserFolders.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
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

    fs::path scratch;
    testkit::ScopedEnv env;
};

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

} // namespace
