#include "render/Files.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace {

TEST(AssetPath, PrependsTheRootWithoutNormalising)
{
    EXPECT_EQ(assetPath(""), "../../assets/");
    EXPECT_EQ(assetPath("shaders/hud/hud.vert"), "../../assets/shaders/hud/hud.vert");
    EXPECT_EQ(assetPath("../../assets/x"), "../../assets/../../assets/x");
}

TEST(LogMessage, WritesOneLine)
{
    ::testing::internal::CaptureStdout();
    logMessage("hello");
    logMessage("");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "hello\n\n");
}

TEST(ReadFile, ReturnsTheWholeContent)
{
    testkit::AssetSandbox sandbox;
    const std::string text = "line one\nline two\r\n\tend";
    const auto path = sandbox.write("a.txt", text);
    EXPECT_EQ(readFile(path.string()), text);
}

TEST(ReadFile, EmptyFileIsEmptyAndSilent)
{
    testkit::AssetSandbox sandbox;
    const auto path = sandbox.write("empty.txt", "");
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(readFile(path.string()), "");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

TEST(ReadFile, MissingFileSaysWhereAndGivesEmptyText)
{
    testkit::AssetSandbox sandbox;
    const std::string path = assetPath("shaders/missing.vert");
    ::testing::internal::CaptureStdout();
    const std::string content = readFile(path);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(content, "");
    EXPECT_EQ(out.rfind("ERROR - failed to read file: ../../assets/shaders/missing.vert\n", 0), 0u) << out;
}

} // namespace

namespace {

namespace fs = std::filesystem;

// The game started from a folder without assets: a repository and an install lie elsewhere, as
// the executable sees them. Puts the usual root back afterwards, the way a run from build/bin finds it.
class AssetRootTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        sandbox.write("config.txt", "");
        choose(sandbox.root / "elsewhere" / "quillfen");
        EXPECT_EQ(assetRoot, "../../assets/");
    }

    bool choose(const fs::path& executable)
    {
        ::testing::internal::CaptureStdout();
        const bool found = chooseAssetRoot(executable);
        output = ::testing::internal::GetCapturedStdout();
        return found;
    }

    void giveConfig(const fs::path& folder)
    {
        fs::create_directories(folder);
        std::ofstream(folder / "config.txt") << "fov = 70\n";
    }

    testkit::AssetSandbox sandbox;
    // bin/ of an install whose folder two levels up holds a repository's assets/ too.
    const fs::path prefix = sandbox.root / "opt" / "prefix";
    const fs::path executable = prefix / "bin" / "quillfen";
    const fs::path repository = sandbox.root / "opt" / "assets";
    const fs::path installed = (prefix / "bin" / QUILLFEN_INSTALLED_ASSETS).lexically_normal();
    std::string output;
};

TEST_F(AssetRootTest, TheWorkingDirectoryComesFirstAndSilently)
{
    sandbox.write("config.txt", "");
    giveConfig(repository);
    giveConfig(installed);
    EXPECT_TRUE(choose(executable));
    EXPECT_EQ(output, "");
    EXPECT_EQ(assetPath("config.txt"), "../../assets/config.txt");
}

TEST_F(AssetRootTest, WithoutConfigThereTheExecutablesRepositoryThenTheInstalledFolderIsUsedAndNamed)
{
    // The working directory's assets folder exists but holds no config.txt.
    giveConfig(repository);
    giveConfig(installed);
    ASSERT_TRUE(choose(executable));
    EXPECT_EQ(output, "Using the assets in " + repository.string() + "/\n");
    EXPECT_EQ(readFile(assetPath("config.txt")), "fov = 70\n");

    fs::remove_all(repository);
    ASSERT_TRUE(choose(executable));
    EXPECT_EQ(output, "Using the assets in " + installed.string() + "/\n");
    EXPECT_EQ(assetPath("shaders/hud/hud.vert"), installed.string() + "/shaders/hud/hud.vert");
}

TEST_F(AssetRootTest, NoAssetsAnywhereIsOneMessageNamingTheThreePlaces)
{
    EXPECT_FALSE(choose(executable));
    EXPECT_EQ(output.rfind("ERROR - no assets found", 0), 0u) << output;
    EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
    for (const std::string& place : {std::string("../../assets/"), repository.string() + "/", installed.string() + "/"})
        EXPECT_NE(output.find(place), std::string::npos) << place << " is not named in: " << output;
    EXPECT_EQ(assetRoot, "../../assets/");
}

} // namespace
