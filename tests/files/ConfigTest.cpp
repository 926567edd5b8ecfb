#include "files/Config.h"
#include "support/TestSupport.h"
#include "ui/SettingItems.h"

#include <GLFW/glfw3.h>
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
    playerControls().bind(Action::Forward, GLFW_KEY_Q);
    playerControls().bind(Action::Pause, GLFW_KEY_W);
    playerControls().bind(Action::Screenshot, GLFW_KEY_S);
    EXPECT_EQ(load(shipped), "");
    for (const Setting& setting : settings())
        EXPECT_FLOAT_EQ(*setting.value, setting.defaultValue) << setting.key;
    EXPECT_EQ(playerControls(), Controls());
}

TEST_F(ConfigTest, KeyLinesBindKeysByNameAndAnUnknownNameKeepsTheBinding)
{
    EXPECT_EQ(load("key_forward = UP\nkey_pause = left shift // swaps with down\nkey_mute = HYPER\n"
                   "key_stop = F5\nkey_left = 7\n"),
              "Config: 'key_mute=HYPER' contains a bad value and will be skipped\n"
              "Config: 'key_stop=F5' contains a bad value and will be skipped\n");
    const Controls& controls = playerControls();
    EXPECT_EQ(controls.key(Action::Forward), GLFW_KEY_UP);
    EXPECT_EQ(controls.key(Action::Pause), GLFW_KEY_LEFT_SHIFT);
    EXPECT_EQ(controls.key(Action::Down), GLFW_KEY_P);
    EXPECT_EQ(controls.key(Action::Left), GLFW_KEY_7);
    EXPECT_EQ(controls.key(Action::Mute), GLFW_KEY_M);
    EXPECT_EQ(controls.key(Action::Stop), GLFW_KEY_S);
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
    // Digits enough to overflow a float: no infinite window.
    const std::string huge = "window_width=-8" + std::string(40, '1');
    EXPECT_EQ(load(huge + "\n"), "Config: '" + huge + "' contains a bad value and will be skipped\n");
    EXPECT_EQ(window_width, 1000.0f);
    EXPECT_FLOAT_EQ(fov, 60.0f);
}

TEST_F(ConfigTest, EveryValueTheSettingsScreenSetsIsWrittenAsTextThatReadsBackExactly)
{
    // The screen steps in tenths and fifths; a value that came back a hair off would no longer
    // sit on the screen's grid, and F4 or the next start would change the player's settings.
    for (const SettingItem& item : settingItems()) {
        if (item.style == ValueStyle::WindowSize)
            continue;
        float value = item.minimum;
        for (int point = 0; point <= 100 && value < item.maximum; ++point, value = stepValue(item, value, 1)) {
            const std::string text = settingText(value);
            EXPECT_EQ(load(std::string(item.key) + " = " + text + "\n"), "") << text;
            EXPECT_EQ(itemValue(item), value) << item.key << " written as " << text;
        }
        EXPECT_EQ(value, item.maximum) << item.key << ": stepping never reaches the top";
    }
    // Values the player wrote by hand, however odd, come back exactly too; no exponents, which
    // the reader refuses.
    for (float value : {0.08f, 1.0f / 3.0f, -800.0f, 1e-7f, 3.0e12f, 16777217.0f}) {
        const std::string text = settingText(value);
        EXPECT_EQ(text.find_first_of("eE+"), std::string::npos) << text;
        load("brightness = " + text + "\n");
        EXPECT_EQ(brightness, value) << text;
    }
    // A C programmer's float suffix is read as meant.
    load("difficulty=0.75f\n");
    EXPECT_FLOAT_EQ(difficulty, 0.75f);
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

TEST_F(ConfigTest, ReloadKeepsSettingsTheFileDoesNotNameButBindsKeysAsTheNextStartWill)
{
    load("fov=90\nkey_forward = UP\n");
    load("brightness=0.5\nkey_mute = W\n");
    EXPECT_FLOAT_EQ(fov, 90.0f);
    EXPECT_FLOAT_EQ(brightness, 0.5f);
    // Bindings swap as they are read: from the defaults every time, or a reload of the same
    // file would give other keys than a start.
    Controls fromStart;
    fromStart.bind(Action::Mute, GLFW_KEY_W);
    EXPECT_EQ(playerControls(), fromStart);
}

TEST_F(ConfigTest, VolumesAreClampedToSilenceAndFullLoudness)
{
    EXPECT_FLOAT_EQ(sound_volume, 0.8f);
    EXPECT_FLOAT_EQ(music_volume, 0.5f);
    EXPECT_EQ(load("sound_volume=1.5\nmusic_volume=-0.25\n"), "");
    EXPECT_FLOAT_EQ(sound_volume, 1.0f);
    EXPECT_FLOAT_EQ(music_volume, 0.0f);
    load("sound_volume=0.3\nmusic_volume=0.7\n");
    EXPECT_FLOAT_EQ(sound_volume, 0.3f);
    EXPECT_FLOAT_EQ(music_volume, 0.7f);
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

TEST_F(ConfigTest, RewritingKeepsThePlayersLinesAndCommentsAndChangesTheLineThatWins)
{
    const std::string written = "// my settings\r\n"
                                "fov = 70 // wide\n"
                                "brightness=0.2 // dim\r\n"
                                "\n"
                                "  fov=80\n"
                                "Fov = 3\n"
                                "sound_volume = 0.5";
    const std::string rewritten = rewriteConfig(
        written, {{"fov", "90"}, {"music_volume", "0.3"}, {"sound_volume", "0.2"}, {"brightness", "0.5"}});
    EXPECT_EQ(rewritten, "// my settings\r\n"
                         "fov = 70 // wide\n"
                         "brightness = 0.5 // dim\r\n"
                         "\n"
                         "fov = 90\n"
                         "Fov = 3\n"
                         "sound_volume = 0.2\n"
                         "music_volume = 0.3\n");
    // Read as a whole, the new values win, as they would from the file.
    load(rewritten);
    EXPECT_FLOAT_EQ(fov, 90.0f);
    EXPECT_FLOAT_EQ(music_volume, 0.3f);
    // A last line without its line end keeps it so when nothing follows.
    EXPECT_EQ(rewriteConfig("fov = 1", {{"fov", "2"}}), "fov = 2");
    EXPECT_EQ(rewriteConfig("", {{"fov", "2"}}), "fov = 2\n");
}

// The player's own config.txt, in a scratch XDG_CONFIG_HOME.
class PlayerConfigTest : public ConfigTest {
protected:
    PlayerConfigTest() { env.set("XDG_CONFIG_HOME", xdg().c_str()); }

    std::filesystem::path xdg() const { return sandbox.root / "xdg"; }
    std::filesystem::path own() const { return xdg() / "quillfen" / "config.txt"; }
    static std::string contentOf(const std::filesystem::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    testkit::ScopedEnv env;
};

TEST_F(PlayerConfigTest, SavedSettingsAndKeysAreReadAtTheNextStartAndTheAssetFileIsNeverWritten)
{
    const std::string shipped = "fov = 60\nsound_volume = 0.8\n";
    sandbox.write("config.txt", shipped);
    fov = 95.0f;
    sound_volume = 0.3f;
    playerControls().bind(Action::Forward, GLFW_KEY_UP);
    std::vector<ConfigEntry> entries = bindingEntries(playerControls());
    EXPECT_EQ(entries.front(), (ConfigEntry{"key_forward", "UP"}));
    EXPECT_EQ(entries.size(), actionCount);
    entries.push_back(*currentEntry("fov"));
    entries.push_back(*currentEntry("sound_volume"));

    // Neither the file nor its folder is there yet.
    std::string message = "not cleared";
    ASSERT_TRUE(savePlayerConfig(entries, message)) << message;
    EXPECT_EQ(message, "");
    EXPECT_EQ(contentOf(sandbox.assets() / "config.txt"), shipped);

    resetSettings();
    EXPECT_EQ(load(shipped), "");
    EXPECT_FLOAT_EQ(fov, 95.0f);
    EXPECT_FLOAT_EQ(sound_volume, 0.3f);
    EXPECT_EQ(playerControls().key(Action::Forward), GLFW_KEY_UP);

    // Saved again, the same lines change in place.
    std::ofstream(own(), std::ios::app) << "// my own note\nbrightness = 0.4";
    fov = 100.0f;
    ASSERT_TRUE(savePlayerConfig({*currentEntry("fov")}, message)) << message;
    const std::string text = contentOf(own());
    EXPECT_EQ(text.find("fov = 95"), std::string::npos) << text;
    EXPECT_EQ(text.find("fov = 100"), text.rfind("fov")) << text;
    EXPECT_NE(text.find("// my own note\nbrightness = 0.4"), std::string::npos) << text;
    EXPECT_NE(text.find("key_forward = UP\n"), std::string::npos) << text;
    resetSettings();
    load(shipped);
    EXPECT_FLOAT_EQ(fov, 100.0f);
    EXPECT_FLOAT_EQ(brightness, 0.4f);
}

TEST_F(PlayerConfigTest, SavedBindingsReadBackAsExactlyTheBindingsInEffect)
{
    // Bindings swap as they are read, so a line rewritten alone could give other actions keys
    // the screen never showed: with key_mute = ENTER, MUTE on N gave RESTART = ENTER again.
    Controls restartOnM;
    restartOnM.bind(Action::Mute, GLFW_KEY_ENTER);
    restartOnM.bind(Action::Mute, GLFW_KEY_N);
    ASSERT_EQ(restartOnM.key(Action::Restart), GLFW_KEY_M);
    Controls arrows;
    arrows.bind(Action::Forward, GLFW_KEY_UP);
    arrows.bind(Action::Stop, GLFW_KEY_DOWN);
    arrows.bind(Action::Up, GLFW_KEY_W);
    arrows.bind(Action::Screenshot, GLFW_KEY_S);
    Controls tangled;
    tangled.bind(Action::Up, GLFW_KEY_P);
    tangled.bind(Action::Forward, GLFW_KEY_SPACE);
    tangled.bind(Action::Mute, GLFW_KEY_N);
    const std::string files[] = {
        "key_mute = ENTER\n",
        "key_forward = S // swapped by hand\nkey_stop = W\nkey_mute = ENTER\nfov = 70\n",
        // An earlier line of a binding rebinds on its way to the last one (MUTE's N, for one).
        "key_mute = ENTER\nkey_up = N // my old key\nkey_up = Q\nkey_forward = E\n",
        "",
    };
    for (const std::string& file : files) {
        for (const Controls& bindings : {restartOnM, arrows, tangled, Controls()}) {
            std::filesystem::create_directories(own().parent_path());
            std::ofstream(own()) << file;
            std::string message;
            ASSERT_TRUE(savePlayerConfig(bindingEntries(bindings), message)) << message;
            resetSettings();
            // The asset folder's file binds first.
            EXPECT_EQ(load("key_pause = O\nkey_mute = P\n"), "");
            EXPECT_EQ(playerControls(), bindings) << file << "\nwritten as:\n" << contentOf(own());
            if (file.find("fov") != std::string::npos) {
                EXPECT_EQ(fov, 70.0f) << "the other lines stay";
            }
        }
    }
}

TEST_F(PlayerConfigTest, ALinkIsWrittenThroughToItsTargetAndTheFileKeepsItsPermissions)
{
    namespace fs = std::filesystem;
    const fs::path kept = sandbox.root / "dotfiles" / "quillfen.txt";
    fs::create_directories(kept.parent_path());
    fs::create_directories(own().parent_path());
    std::ofstream(kept) << "fov = 70\n";
    fs::permissions(kept, fs::perms(0640));
    // Relative, as dotfile managers make them.
    fs::create_symlink("../../dotfiles/quillfen.txt", own());
    fov = 85.0f;
    std::string message;
    ASSERT_TRUE(savePlayerConfig({*currentEntry("fov")}, message)) << message;
    EXPECT_TRUE(fs::is_symlink(own()));
    EXPECT_EQ(fs::read_symlink(own()), "../../dotfiles/quillfen.txt");
    EXPECT_EQ(contentOf(kept), "fov = 85\n");
    EXPECT_EQ(fs::status(kept).permissions(), fs::perms(0640)) << "the player's file keeps its mode";

    // A link whose file is not there yet: the file is made where it points, and the link stays.
    fs::remove(kept);
    fov = 90.0f;
    ASSERT_TRUE(savePlayerConfig({*currentEntry("fov")}, message)) << message;
    EXPECT_TRUE(fs::is_symlink(own()));
    EXPECT_NE(contentOf(kept).find("\nfov = 90\n"), std::string::npos) << contentOf(kept);
    resetSettings();
    load("");
    EXPECT_EQ(fov, 90.0f) << "read back through the link";
}

TEST_F(PlayerConfigTest, AFileThatCannotBeWrittenGivesOneMessageAndChangesNothing)
{
    // A file the player made read-only is left as it is (root would otherwise replace it).
    std::filesystem::create_directories(own().parent_path());
    std::ofstream(own()) << "fov = 70\n";
    std::filesystem::permissions(own(), std::filesystem::perms(0444));
    std::string readOnly;
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(savePlayerConfig({*currentEntry("fov")}, readOnly));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), readOnly + "\n");
    EXPECT_NE(readOnly.find("read-only"), std::string::npos) << readOnly;
    EXPECT_EQ(contentOf(own()), "fov = 70\n");
    EXPECT_EQ(std::filesystem::status(own()).permissions(), std::filesystem::perms(0444));
    const std::filesystem::directory_iterator files(own().parent_path());
    EXPECT_EQ(std::distance(files, std::filesystem::directory_iterator()), 1) << "no temporary file is left";
    std::filesystem::remove_all(xdg());

    // A plain file where the folder should be stops even root.
    std::filesystem::create_directories(xdg());
    std::ofstream(xdg() / "quillfen") << "not a folder";
    std::string message;
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(savePlayerConfig({*currentEntry("fov")}, message));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), message + "\n");
    EXPECT_NE(message.find("could not be saved"), std::string::npos) << message;
    EXPECT_EQ(contentOf(xdg() / "quillfen"), "not a folder");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(xdg()), std::filesystem::directory_iterator()), 1);

    // A folder where the file should be.
    std::filesystem::remove(xdg() / "quillfen");
    std::filesystem::create_directories(own());
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(savePlayerConfig({*currentEntry("fov")}, message));
    ::testing::internal::GetCapturedStdout();
    EXPECT_NE(message.find("not a regular file"), std::string::npos) << message;
    EXPECT_TRUE(std::filesystem::is_empty(own()));

    // Nowhere to keep it at all.
    env.set("XDG_CONFIG_HOME", nullptr);
    env.set("HOME", nullptr);
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(savePlayerConfig({*currentEntry("fov")}, message));
    ::testing::internal::GetCapturedStdout();
    EXPECT_NE(message.find("no folder"), std::string::npos) << message;
}

} // namespace
