#include "app/Config.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

// Each test starts from the defaults and reads the file it wrote into its own sandbox.
class ConfigTest : public ::testing::Test {
protected:
    void SetUp() override { resetSettings(); }
    void TearDown() override { resetSettings(); }

    // Writes config.txt, loads it, and returns what the loader printed.
    std::string load(const std::string& text)
    {
        sandbox.write("config.txt", text);
        ::testing::internal::CaptureStdout();
        loadConfig();
        return ::testing::internal::GetCapturedStdout();
    }

    testkit::AssetSandbox sandbox;
};

TEST_F(ConfigTest, TheShippedFileNamesEveryKeyWithItsBuiltInDefault)
{
    // A key missing from the shipped file, or a default there that differs from the built-in
    // one, would make a game without the file play differently from one with it.
    sandbox.copyRealAssets();
    std::ifstream in(sandbox.assets() / "config.txt");
    const std::string shipped((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(shipped.empty());
    for (const Setting& setting : settings())
        *setting.value = -7.0f;
    EXPECT_EQ(load(shipped), "");
    for (const Setting& setting : settings())
        EXPECT_FLOAT_EQ(*setting.value, setting.defaultValue) << setting.key;
}

TEST_F(ConfigTest, WindowsLineEndsAndUnixLineEndsGiveTheSameSettings)
{
    EXPECT_EQ(load("fov=90\r\nwindow_width=1280\r\nbrightness=0.3\r\n"), "");
    EXPECT_FLOAT_EQ(fov, 90.0f);
    EXPECT_FLOAT_EQ(window_width, 1280.0f);
    EXPECT_FLOAT_EQ(brightness, 0.3f);
}

TEST_F(ConfigTest, CommentsAndBlankLinesChangeNothingAndPrintNothing)
{
    EXPECT_EQ(load("// fov=90\n   \t \n\nfov=75 // wide\n"), "");
    EXPECT_FLOAT_EQ(fov, 75.0f);
}

TEST_F(ConfigTest, WhitespaceInsideKeysAndValuesIsRemoved)
{
    EXPECT_EQ(load("win dow_width = 12 80\n"), "");
    EXPECT_FLOAT_EQ(window_width, 1280.0f);
}

TEST_F(ConfigTest, UnknownKeyIsReportedWithTheCompactedLine)
{
    EXPECT_EQ(load("Fov = 90 // capital\nfov=70\n"),
              "Config: 'Fov=90' contains a unknown key and will be skipped\n");
    EXPECT_FLOAT_EQ(fov, 70.0f);
}

TEST_F(ConfigTest, BadValueIsReportedAndTheSettingKept)
{
    EXPECT_EQ(load("fov = nine ty\n"), "Config: 'fov=ninety' contains a bad value and will be skipped\n");
    EXPECT_FLOAT_EQ(fov, 60.0f);
}

TEST_F(ConfigTest, PermissiveNumbersFollowAtof)
{
    load("difficulty=0.75f\nwindow_width=-800\nsensitivity=--3\nfov=1-2\nbrightness=f\n");
    EXPECT_FLOAT_EQ(difficulty, 0.75f);
    EXPECT_FLOAT_EQ(window_width, -800.0f);
    EXPECT_FLOAT_EQ(sensitivity, 0.0f);
    EXPECT_FLOAT_EQ(fov, 1.0f);
    EXPECT_FLOAT_EQ(brightness, 0.0f);
}

TEST_F(ConfigTest, EmptyValueSetsZeroAndLastRepeatWins)
{
    load("fov=\nwindow_height=600\nwindow_height=700\n");
    EXPECT_FLOAT_EQ(fov, 0.0f);
    EXPECT_FLOAT_EQ(window_height, 700.0f);
}

TEST_F(ConfigTest, LinesWithoutEqualsAreSkippedSilentlyAndEmptyKeyIsUnknown)
{
    EXPECT_EQ(load("fov\n=5\n"), "Config: '=5' contains a unknown key and will be skipped\n");
    EXPECT_FLOAT_EQ(fov, 60.0f);
}

TEST_F(ConfigTest, FurtherEqualsSignsStayInTheValue)
{
    EXPECT_EQ(load("fov=9=0\n"), "Config: 'fov=9=0' contains a bad value and will be skipped\n");
    EXPECT_FLOAT_EQ(fov, 60.0f);
}

TEST_F(ConfigTest, LastLineWithoutNewlineCounts)
{
    load("fov=45");
    EXPECT_FLOAT_EQ(fov, 45.0f);
}

TEST_F(ConfigTest, ReloadKeepsSettingsTheFileDoesNotName)
{
    load("fov=90\n");
    load("brightness=0.5\n");
    EXPECT_FLOAT_EQ(fov, 90.0f);
    EXPECT_FLOAT_EQ(brightness, 0.5f);
}

TEST_F(ConfigTest, MissingFileKeepsEverySettingAndSaysWhere)
{
    ::testing::internal::CaptureStdout();
    loadConfig();
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.rfind("ERROR - failed to read file: ../../assets/config.txt\n", 0), 0u) << out;
    EXPECT_FLOAT_EQ(fov, 60.0f);
    EXPECT_FLOAT_EQ(window_width, 1000.0f);
}

TEST_F(ConfigTest, BinaryGarbageIsReportedLineByLineWithoutHarm)
{
    std::string garbage = "fov=80\n";
    for (int c = 0; c < 256; ++c)
        garbage += static_cast<char>(c);
    garbage += "\n\xff\xfe=\x80\x81\nbrightness=0.2\n";
    const std::string out = load(garbage);
    EXPECT_NE(out.find("contains a unknown key"), std::string::npos);
    EXPECT_FLOAT_EQ(fov, 80.0f);
    EXPECT_FLOAT_EQ(brightness, 0.2f);
}

TEST_F(ConfigTest, AbsurdlyLargeFileIsRefusedWithAMessage)
{
    std::string huge(3 * 1024 * 1024, 'x');
    huge = "fov=10\n" + huge;
    const std::string out = load(huge);
    EXPECT_NE(out.find("too large for a configuration file"), std::string::npos) << out.substr(0, 200);
    EXPECT_FLOAT_EQ(fov, 60.0f);
}

// An installed game's assets are read-only: the player's own file, read after them, has the last word.
TEST_F(ConfigTest, ThePlayersOwnFileWinsAndBothAreReadAgainOnReload)
{
    testkit::ScopedEnv env;
    const std::filesystem::path own = sandbox.root / "player-config" / "quillfen" / "config.txt";
    env.set("XDG_CONFIG_HOME", (sandbox.root / "player-config").c_str());
    std::filesystem::create_directories(own.parent_path());

    std::ofstream(own) << "fov = 90\nFov = 1\n";
    EXPECT_EQ(load("fov = 70\nbrightness = 0.3\n"), "Config: 'Fov=1' contains a unknown key and will be skipped\n");
    EXPECT_FLOAT_EQ(fov, 90.0f);
    EXPECT_FLOAT_EQ(brightness, 0.3f);

    std::ofstream(own) << "fov = 80\n";
    EXPECT_EQ(load("fov = 70\nbrightness = 0.4\n"), "");
    EXPECT_FLOAT_EQ(fov, 80.0f);
    EXPECT_FLOAT_EQ(brightness, 0.4f);

    // Without a file of the player's own nothing is said about it.
    std::filesystem::remove(own);
    EXPECT_EQ(load("fov = 70\n"), "");
    EXPECT_FLOAT_EQ(fov, 70.0f);
}

} // namespace
