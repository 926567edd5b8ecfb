#include "files/Files.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>

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

// A file a player names may be anything: opening a pipe nobody writes to waits for ever, and
// /dev/zero never ends. Only regular files are read; a link to one is followed.
TEST(ReadFile, OnlyRegularFilesAreReadAndNothingElseIsWaitedOn)
{
    testkit::AssetSandbox sandbox;
    const std::filesystem::path pipe = sandbox.assets() / "pipe.txt";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::filesystem::path zero = sandbox.assets() / "zero.txt";
    std::filesystem::create_symlink("/dev/zero", zero);
    for (const std::filesystem::path& special : {pipe, zero, sandbox.assets()}) {
        ::testing::internal::CaptureStdout();
        EXPECT_EQ(readFile(special.string()), "");
        EXPECT_EQ(::testing::internal::GetCapturedStdout(),
                  "ERROR - failed to read file: " + special.string() + " is not a regular file\n");
    }

    const auto real = sandbox.write("real.txt", "fov = 70\n");
    const std::filesystem::path link = sandbox.assets() / "link.txt";
    std::filesystem::create_symlink(real, link);
    EXPECT_EQ(readFile(link.string()), "fov = 70\n");

    std::string content = "stale";
    EXPECT_EQ(readRegularFile(link.string(), 8, content), FileRead::tooLarge);
    EXPECT_EQ(content, "");
    EXPECT_EQ(readRegularFile(link.string(), 9, content), FileRead::ok);
    EXPECT_EQ(content, "fov = 70\n");
}

} // namespace

namespace {

namespace fs = std::filesystem;

// The game started from a folder of the sandbox, two levels below its assets/, with a build tree
// and an install lying elsewhere. Puts the usual root back afterwards, the way a run from build/bin finds it.
class AssetRootTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(build.bin);
        fs::create_directories(prefix / "bin");
    }

    void TearDown() override
    {
        giveAssets(sandbox.assets());
        choose(buildExecutable);
        EXPECT_EQ(assetRoot, "../../assets/");
    }

    bool choose(const fs::path& executable)
    {
        ::testing::internal::CaptureStdout();
        const bool found = chooseAssetRoot(executable, build);
        output = ::testing::internal::GetCapturedStdout();
        return found;
    }

    // What the game cannot run without; config.txt is left out.
    static void giveAssets(const fs::path& folder)
    {
        fs::create_directories(folder / "shaders");
        fs::create_directories(folder / "models");
    }

    testkit::AssetSandbox sandbox;
    const BuildTree build{sandbox.root / "repository" / "build" / "bin", sandbox.root / "repository" / "assets",
                          sandbox.root / "repository" / "build" / "locale"};
    const fs::path buildExecutable = build.bin / "quillfen";
    // An install whose bin folder has another assets/ two levels up, as a build's would.
    const fs::path prefix = sandbox.root / "opt" / "prefix";
    const fs::path installedExecutable = prefix / "bin" / "quillfen";
    const fs::path installed = (prefix / "bin" / QUILLFEN_INSTALLED_ASSETS).lexically_normal();
    std::string output;
};

TEST_F(AssetRootTest, ABuildTreeTakesTheWorkingDirectorysAssetsEvenWithoutConfig)
{
    // A player who deleted config.txt gets the defaults, from the same assets.
    giveAssets(sandbox.assets());
    giveAssets(build.assets);
    sandbox.write("config.txt", "fov = 70\n");
    EXPECT_TRUE(choose(buildExecutable));
    EXPECT_EQ(output, "");
    EXPECT_EQ(assetPath("config.txt"), "../../assets/config.txt");

    fs::remove(sandbox.assets() / "config.txt");
    EXPECT_TRUE(choose(buildExecutable));
    EXPECT_EQ(output, "");
    EXPECT_EQ(assetRoot, "../../assets/");
}

TEST_F(AssetRootTest, ABuildTreeWithoutAssetsInTheWorkingDirectoryTakesItsSourcesAndSaysSo)
{
    // A config.txt alone does not make an asset folder.
    sandbox.write("config.txt", "fov = 70\n");
    giveAssets(build.assets);
    ASSERT_TRUE(choose(buildExecutable));
    EXPECT_EQ(output, "Using the assets in " + build.assets.string() + "/\n");
    EXPECT_EQ(assetPath("shaders/hud/hud.vert"), build.assets.string() + "/shaders/hud/hud.vert");
}

TEST_F(AssetRootTest, AnInstalledGameTakesItsInstalledAssetsWhateverTheWorkingDirectoryHolds)
{
    giveAssets(sandbox.assets());
    giveAssets(prefix.parent_path() / "assets");
    giveAssets(installed);
    ASSERT_TRUE(choose(installedExecutable));
    EXPECT_EQ(output, "Using the assets in " + installed.string() + "/\n");
    EXPECT_EQ(assetPath("config.txt"), installed.string() + "/config.txt");

    // Nor does it fall back on them when its own are gone.
    fs::remove_all(installed);
    EXPECT_FALSE(choose(installedExecutable));
    EXPECT_EQ(output, "ERROR - no assets found: there are no shaders and models in " + installed.string() +
                          "/ (installed beside " + installedExecutable.string() + ")\n");
}

TEST_F(AssetRootTest, TheTranslationsAreTheBuildsForItsOwnProgramAndThePrefixsForAnInstalledOne)
{
    fs::create_directories(build.bin);
    EXPECT_EQ(catalogueFolder(buildExecutable, build), build.locale);
    // Installed one folder below the prefix, as games/ or bin/: the catalogues are where the
    // install rule puts them, share/locale of the same prefix, wherever that prefix is.
    EXPECT_EQ(catalogueFolder(installedExecutable, build), prefix / "share" / "locale");
}

TEST_F(AssetRootTest, NoAssetsIsOneMessageNamingWhereTheGameLooked)
{
    giveAssets(installed);
    fs::create_directories(sandbox.assets() / "shaders"); // no models
    EXPECT_FALSE(choose(buildExecutable));
    EXPECT_EQ(output.rfind("ERROR - no assets found", 0), 0u) << output;
    EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
    for (const std::string& place : {std::string("../../assets/"), build.assets.string() + "/"})
        EXPECT_NE(output.find(place), std::string::npos) << place << " is not named in: " << output;
    EXPECT_EQ(output.find(installed.string()), std::string::npos) << "a build tree never takes an install's assets";
    EXPECT_EQ(assetRoot, "../../assets/");

    EXPECT_FALSE(choose(""));
    EXPECT_EQ(output.rfind("ERROR - no assets found", 0), 0u) << output;
}

} // namespace
