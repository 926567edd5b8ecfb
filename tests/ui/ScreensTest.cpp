#include "app/Game.h"
#include "files/BestResults.h"
#include "files/Config.h"
#include "files/Files.h"
#include "files/PlayerName.h"
#include "files/Replay.h"
#include "files/ReplayPlayer.h"
#include "files/Translation.h"
#include "files/UserFolders.h"
#include "input/Controls.h"
#include "input/GameInput.h"
#include "physics/Player.h"
#include "scene/Camera.h"
#include "support/GameHarness.h"
#include "text/Utf8.h"
#include "ui/MenuScreens.h"
#include "ui/PlayScreens.h"
#include "ui/ReplayScreen.h"
#include "ui/SettingItems.h"
#include "world/ParticleSystem.h"
#include "world/Random.h"
#include "world/SegmentManager.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <unistd.h>

// The screens over play, driven as a player drives them: keys let go, frame by frame.

namespace {

namespace fs = std::filesystem;
constexpr float dt = 1.0f / 60.0f;

class Screens : public ::testing::Test {
protected:
    void SetUp() override
    {
        scratch = fs::temp_directory_path() / ("quillfen-screens-" + std::to_string(::getpid()));
        fs::remove_all(scratch);
        env.set("XDG_DATA_HOME", (scratch / "data").c_str());
        env.set("XDG_CONFIG_HOME", (scratch / "config").c_str());
        h = std::make_unique<testkit::GameHarness>(true);
        // The game records every session and keeps its records, as the real one does.
        auto device = std::make_unique<testkit::FakeInputDevice>();
        keys = device.get();
        h->game.recordWith(std::move(device));
        h->game.menuInput.setDevice(keys);
        h->game.records = std::make_unique<BestResults>(BestResults::defaultFile());
    }
    void TearDown() override
    {
        h.reset();
        resetSettings();
        fs::remove_all(scratch);
    }

    void tap(int code)
    {
        keys->pressed[code] = true;
        h->frame(dt);
        keys->pressed[code] = false;
        h->frame(dt);
    }
    template <class S> S* top() { return dynamic_cast<S*>(h->game.screens.top()); }
    // Down to the item, then Enter.
    void choose(int item)
    {
        for (int i = 0; i < item; ++i)
            tap(GLFW_KEY_DOWN);
        tap(GLFW_KEY_ENTER);
    }
    // Holding `key` flies the creature faster, and holding `old` no longer does.
    void expectForwardKey(int key, int old)
    {
        keys->pressed[key] = true;
        h->frame(dt);
        EXPECT_EQ(h->game.playerInput()->faster(), 1.0f) << "the new key flies faster";
        keys->pressed[key] = false;
        keys->pressed[old] = true;
        h->frame(dt);
        EXPECT_EQ(h->game.playerInput()->faster(), 0.0f) << "the old key no longer does";
        keys->pressed[old] = false;
    }
    std::string configText() const
    {
        std::ifstream in(scratch / "config" / "quillfen" / "config.txt");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    fs::path scratch;
    testkit::ScopedEnv env;
    std::unique_ptr<testkit::GameHarness> h;
    testkit::FakeInputDevice* keys = nullptr;
};

TEST_F(Screens, WatchingTheLastRunFromThePauseMenuLeavesThePausedRunAsItWasAndWritesNoRecord)
{
    // A first run that ends, saved as last.qfr; a second one paused half-way.
    h->frames(60, dt);
    h->player->remainingTime = -1.0f;
    h->frame(dt);
    ASSERT_TRUE(h->game.world()->runOver);
    ASSERT_TRUE(fs::exists(replayFile("last.qfr")));
    tap(GLFW_KEY_ENTER);
    ASSERT_FALSE(h->game.world()->runOver);
    keys->pressed[GLFW_KEY_W] = true;
    h->frames(90, dt);
    keys->pressed[GLFW_KEY_W] = false;
    tap(GLFW_KEY_P);
    ASSERT_NE(top<PauseScreen>(), nullptr);

    const glm::vec3 position = h->game.world()->player->getPosition();
    const float remaining = h->game.world()->player->remainingTime;
    const float levelTimer = h->game.world()->levelTimer;
    const WorldRandom random = h->game.world()->random;
    const std::size_t recorded = h->game.world()->recorder->frameCount();
    const auto bestBefore = h->game.records->runs().size();
    fs::remove(BestResults::defaultFile());

    choose(PauseScreen::WatchLast);
    ASSERT_NE(top<ReplayScreen>(), nullptr);
    EXPECT_TRUE(h->game.watching());
    // The wheel turned while watching steers nothing of the recording (nor of the run after).
    for (int i = 0; i < 400 && top<ReplayScreen>(); ++i) {
        h->game.pendingScroll = i % 2 ? 1 : -1;
        h->frame(dt);
    }
    ASSERT_NE(top<PauseScreen>(), nullptr) << "back to the pause menu at the end";
    EXPECT_FALSE(h->game.watching());
    EXPECT_EQ(h->game.world()->player->getPosition(), position);
    EXPECT_EQ(h->game.world()->player->remainingTime, remaining);
    EXPECT_EQ(h->game.world()->levelTimer, levelTimer);
    EXPECT_EQ(h->game.world()->random, random);
    EXPECT_EQ(h->game.world()->recorder->frameCount(), recorded) << "nothing recorded while a menu or a replay is up";
    EXPECT_FALSE(fs::exists(BestResults::defaultFile())) << "the replay's end wrote the player's records";
    EXPECT_EQ(h->game.records->runs().size(), bestBefore);

    // The paused run goes on from where it stood.
    tap(GLFW_KEY_P);
    ASSERT_NE(top<PlayScreen>(), nullptr);
    h->frame(dt);
    EXPECT_NEAR(h->game.world()->player->remainingTime, remaining - dt, 1e-5f);
}

TEST_F(Screens, AReplayWatchedEndsWhereItWasRecordedWhateverTheViewerScrolls)
{
    h->frames(60, dt);
    h->player->health = 0.0f;
    h->frame(dt);
    std::string error;
    auto replay = loadReplay(replayFile("last.qfr"), error);
    ASSERT_TRUE(replay) << error;
    const glm::vec3 end = h->game.world()->player->getPosition();

    tap(GLFW_KEY_ENTER);
    h->game.screens.push(std::make_unique<ReplayScreen>(*replay, false));
    glm::vec3 watched{};
    for (int i = 0; i < 300 && !h->game.paused; ++i) {
        h->game.pendingScroll = 1;
        h->frame(dt);
    }
    for (int i = 0; i < 300; ++i) {
        auto* screen = top<ReplayScreen>();
        if (!screen)
            break;
        if (screen->ended()) {
            watched = h->game.world()->player->getPosition();
            break;
        }
        h->game.pendingScroll = i % 3 ? 1 : -1;
        h->frame(dt);
    }
    EXPECT_EQ(watched, end);
}

TEST_F(Screens, ARecordedStallNeitherFreezesThePictureNorIsPlayedInOneGo)
{
    // A run stopped for an hour (Ctrl-Z) leaves one frame of 3600 s in its recording.
    h->frames(30, dt);
    h->game.playStep(*h->game.world(), 3600.0, true, false);
    h->frames(30, dt);
    const auto replay = parseReplay(h->game.world()->recorder->fileContent(), *std::make_unique<std::string>());
    ASSERT_TRUE(replay);
    ReplayPlayer player(*replay);
    const auto run = player.makeRun();
    for (int i = 0; i < 30; ++i)
        player.stepFrame(*run);
    EXPECT_LE(player.nextPaceTime(), maxUpdateTime) << "the stall is paced as one bounded step";
    EXPECT_GT(player.nextPaceTime(), 0.0);
}

TEST_F(Screens, EarlierRunsAreGoneThroughASliceAFrameAndEscapeStopsThem)
{
    // A long session: three runs before the one to watch.
    for (int run = 0; run < 3; ++run) {
        h->frames(600, dt);
        h->player->health = 0.0f;
        h->frame(dt);
        tap(GLFW_KEY_ENTER);
    }
    h->frames(30, dt);
    std::string error;
    auto replay = parseReplay(h->game.world()->recorder->fileContent(), error);
    ASSERT_TRUE(replay) << error;
    ASSERT_GT(replay->header.runStart, 1800u);

    tap(GLFW_KEY_P);
    h->game.screens.push(std::make_unique<ReplayScreen>(*replay, false));
    h->frame(dt);
    auto* screen = top<ReplayScreen>();
    ASSERT_NE(screen, nullptr);
    EXPECT_FALSE(screen->worldMoves()) << "the earlier runs are gone through unseen";
    // The window answers while they are gone through: Escape goes back at once.
    tap(GLFW_KEY_ESCAPE);
    EXPECT_NE(top<PauseScreen>(), nullptr);
}

TEST_F(Screens, ARecordingOfAWorldThatBehavesOtherwiseIsRefused)
{
    h->frames(30, dt);
    std::string error;
    auto replay = parseReplay(h->game.world()->recorder->fileContent(), error);
    ASSERT_TRUE(replay) << error;
    EXPECT_TRUE(replayFitsThisGame(*replay, error)) << error;
    replay->header.worldFingerprint ^= 1;
    EXPECT_FALSE(replayFitsThisGame(*replay, error));
    EXPECT_NE(error.find("behaves differently"), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
}

TEST_F(Screens, TheFingerprintFollowsTheRulesAndLeavesTheWorldAlone)
{
    // The player's world flies on first, beside a twin that sees no fingerprint: a probe that
    // drew from its random sequence or moved anything of it would show when they fly on.
    testkit::GameHarness twin(true);
    auto fly = [](testkit::GameHarness& game, testkit::FakeInputDevice& hands) {
        hands.pressed[GLFW_KEY_W] = true;
        hands.pressed[GLFW_KEY_D] = true;
        game.frames(90, dt);
    };
    fly(*h, *keys);
    fly(twin, *twin.keys);
    const std::uint64_t fingerprint = worldFingerprint();
    fly(*h, *keys);
    fly(twin, *twin.keys);
    EXPECT_EQ(h->player->getPosition(), twin.player->getPosition());
    const auto& ours = h->game.world()->segmentManager->segments;
    const auto& theirs = twin.game.world()->segmentManager->segments;
    for (std::size_t i = 0; i < ours.size(); ++i) {
        const auto& a = ours[i]->rain->getChildren();
        const auto& b = theirs[i]->rain->getChildren();
        ASSERT_EQ(a.size(), b.size()) << "segment " << i;
        for (std::size_t d = 0; d < a.size(); ++d)
            EXPECT_EQ(a[d]->getPosition(), b[d]->getPosition()) << "segment " << i << ", drop " << d;
    }

    EXPECT_EQ(worldFingerprint(), fingerprint) << "the same world, the same number";
    // The player's own keys and settings are not the world's: a rebound FORWARD, an inverted
    // mouse or another speed never make the player's recordings unwatchable.
    playerControls().bind(Action::Forward, GLFW_KEY_UP);
    invert_mouse = 1.0f;
    sensitivity *= 2.0f;
    moveSensitivity *= 1.5f;
    difficulty = 0.9f;
    EXPECT_EQ(worldFingerprint(), fingerprint) << "the player's keys or settings reached the probe";
    resetSettings();
    // A world that behaves otherwise (a faster creature by default) has another.
    const Setting* speed = findSetting("moveSensitivity");
    const float defaultSpeed = speed->defaultValue;
    const_cast<Setting*>(speed)->defaultValue = defaultSpeed * 2.0f;
    const std::uint64_t faster = worldFingerprint();
    const_cast<Setting*>(speed)->defaultValue = defaultSpeed;
    EXPECT_NE(faster, fingerprint);
}

TEST_F(Screens, ARunFlownWithReboundKeysIsWatchableAndARefusedRecordingSaysWhyOnScreen)
{
    // FORWARD on Up and the mouse inverted: the player's own recordings stay watchable.
    playerControls().bind(Action::Forward, GLFW_KEY_UP);
    invert_mouse = 1.0f;
    h->game.playerInput()->setControls(playerControls());
    keys->pressed[GLFW_KEY_UP] = true;
    h->frames(60, dt);
    keys->pressed[GLFW_KEY_UP] = false;
    h->player->remainingTime = -1.0f;
    h->frame(dt);
    ASSERT_TRUE(fs::exists(replayFile("last.qfr")));
    tap(GLFW_KEY_ENTER);
    tap(GLFW_KEY_P);
    choose(PauseScreen::WatchLast);
    ASSERT_NE(top<ReplayScreen>(), nullptr) << "the player's own recording was refused";
    tap(GLFW_KEY_ESCAPE);
    ASSERT_NE(top<PauseScreen>(), nullptr);
    tap(GLFW_KEY_P);

    // A recording of a world that behaves otherwise is refused, and the menu says so and dims it.
    std::string bytes;
    {
        std::ifstream in(replayFile("last.qfr"), std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    constexpr std::size_t fingerprintAt = 8 + 4 + 5 * 4;
    bytes[fingerprintAt] = static_cast<char>(bytes[fingerprintAt] ^ 1);
    std::ofstream(replayFile("last.qfr"), std::ios::binary | std::ios::trunc) << bytes;
    tap(GLFW_KEY_P);
    auto* pause = top<PauseScreen>();
    ASSERT_NE(pause, nullptr);
    ASSERT_TRUE(pause->menu.items[PauseScreen::WatchLast].enabled);
    choose(PauseScreen::WatchLast);
    ASSERT_EQ(top<PauseScreen>(), pause) << "no recording to watch, and the menu stays";
    EXPECT_FALSE(pause->menu.items[PauseScreen::WatchLast].enabled);
    EXPECT_EQ(pause->menu.message, _("CANNOT WATCH: RECORDED IN ANOTHER VERSION OF THE GAME"));
}

TEST_F(Screens, TheFingerprintIsWorkedOutOncePerBuildAndKept)
{
    struct Forget {
        ~Forget() { keepFingerprintIn({}); }
    } forget;
    const fs::path cache = scratch / "cache";
    const fs::path file = cache / "world-fingerprint";
    keepFingerprintIn(cache);
    const std::uint64_t fresh = worldFingerprint();
    EXPECT_EQ(thisGamesFingerprint(), fresh);
    ASSERT_TRUE(fs::exists(file)) << "kept for the next start";

    // The next start reads it instead of flying the probe: a number kept under this build's key
    // is believed as it is.
    const std::string key = fingerprintBuildKey();
    ASSERT_FALSE(key.empty());
    std::ofstream(file) << key << " 00000000000000ab\n";
    keepFingerprintIn(cache);
    EXPECT_EQ(thisGamesFingerprint(), 0xabu);
    // Another build's, or a damaged line, is not: worked out again and kept anew.
    for (const char* kept : {"0123456789abcdef 00000000000000ab\n", "", "garbage"}) {
        std::ofstream(file) << kept;
        keepFingerprintIn(cache);
        EXPECT_EQ(thisGamesFingerprint(), fresh) << kept;
    }
    keepFingerprintIn(cache);
    EXPECT_EQ(thisGamesFingerprint(), fresh) << "the one kept last is this build's";
}

TEST_F(Screens, TheSettingsScreenChangesTheGameAtOnceAndWritesOnlyWhatChangedKeepingThePlayersLines)
{
    fs::create_directories(scratch / "config" / "quillfen");
    {
        std::ofstream out(scratch / "config" / "quillfen" / "config.txt");
        out << "// my own settings\nfov = 70 // wide\nbrightness = 0.2\n";
    }
    loadConfig();
    tap(GLFW_KEY_P);
    choose(PauseScreen::Settings);
    auto* settings = top<SettingsScreen>();
    ASSERT_NE(settings, nullptr);
    // SOUND VOLUME is the first item: two steps down, at once.
    const float volume = sound_volume;
    tap(GLFW_KEY_LEFT);
    tap(GLFW_KEY_LEFT);
    EXPECT_NEAR(sound_volume, volume - 0.2f, 1e-5f);
    // FIELD OF VIEW: one step up reaches the camera before the screen is left.
    tap(GLFW_KEY_DOWN);
    tap(GLFW_KEY_DOWN);
    tap(GLFW_KEY_DOWN);
    tap(GLFW_KEY_DOWN);
    tap(GLFW_KEY_RIGHT);
    EXPECT_EQ(fov, 75.0f);
    EXPECT_EQ(h->game.world()->player->camera->fov, 75.0f);
    tap(GLFW_KEY_ESCAPE);
    ASSERT_NE(top<PauseScreen>(), nullptr);

    const std::string text = configText();
    EXPECT_NE(text.find("// my own settings\n"), std::string::npos) << text;
    EXPECT_NE(text.find("fov = 75 // wide\n"), std::string::npos) << text;
    EXPECT_NE(text.find("brightness = 0.2\n"), std::string::npos) << text;
    EXPECT_NE(text.find("sound_volume = 0.6"), std::string::npos) << text;
    EXPECT_EQ(text.find("music_volume"), std::string::npos) << "only what changed is written:\n" << text;
    resetSettings();
    loadConfig();
    EXPECT_NEAR(sound_volume, volume - 0.2f, 1e-5f) << "read back at the next start";
}

// The settings screen's LANGUAGE and NAME lines, in the game's own catalogues.
class SettingsWords : public Screens {
protected:
    void SetUp() override
    {
        Screens::SetUp();
        env.set("LANGUAGE", std::getenv("LANGUAGE"));
        // The system asks for nothing: English.
        startTranslations(thisBuild().locale, english);
    }
    void TearDown() override
    {
        startTranslations(thisBuild().locale, english);
        Screens::TearDown();
    }
    // From the pause menu's highlight to the settings' line `item`, highlighted.
    SettingsScreen* openSettingsAt(std::size_t item)
    {
        if (!top<PauseScreen>())
            tap(GLFW_KEY_P);
        top<PauseScreen>()->menu.highlight(PauseScreen::Resume);
        choose(PauseScreen::Settings);
        for (std::size_t i = 0; i < item; ++i)
            tap(GLFW_KEY_DOWN);
        return top<SettingsScreen>();
    }
    void writeConfig(const std::string& text)
    {
        fs::create_directories(scratch / "config" / "quillfen");
        std::ofstream(scratch / "config" / "quillfen" / "config.txt") << text;
    }

    static const char* english(const char*) { return nullptr; }
    const std::size_t languageItem = settingItems().size();
    const std::size_t nameItem = settingItems().size() + 1;
};

TEST_F(SettingsWords, TheLanguageChosenIsSpokenAtOnceSavedAndSpokenAgainAtTheNextStart)
{
    SettingsScreen* settings = openSettingsAt(languageItem);
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings->menu.items[languageItem].value, "SYSTEM");
    // SYSTEM, then the languages by their codes: de comes first.
    tap(GLFW_KEY_RIGHT);
    EXPECT_EQ(language, "de");
    EXPECT_STREQ(_("PAUSED"), "PAUSIERT");
    EXPECT_EQ(settings->menu.title, _("SETTINGS")) << "the screen itself is read again";
    EXPECT_NE(settings->menu.title, "SETTINGS");
    EXPECT_EQ(settings->menu.items[languageItem].value, "DEUTSCH");
    EXPECT_NE(keyLabel(GLFW_KEY_LEFT_SHIFT), "LEFT SHIFT") << "key names follow";
    tap(GLFW_KEY_ESCAPE);
    auto* pause = top<PauseScreen>();
    ASSERT_NE(pause, nullptr);
    EXPECT_EQ(pause->menu.title, "PAUSIERT") << "the menu under it too";
    EXPECT_NE(configText().find("language = de\n"), std::string::npos) << configText();

    // The next start: the system still asks for English, the player's file for German.
    resetSettings();
    startTranslations(thisBuild().locale, english);
    EXPECT_STREQ(_("PAUSED"), "PAUSED");
    loadConfig();
    EXPECT_STREQ(_("PAUSED"), "PAUSIERT");

    // Back to SYSTEM: the line is written empty, and English it is.
    settings = openSettingsAt(0);
    ASSERT_NE(settings, nullptr);
    settings->menu.highlight(static_cast<int>(languageItem));
    tap(GLFW_KEY_LEFT);
    EXPECT_EQ(language, "");
    EXPECT_STREQ(_("PAUSED"), "PAUSED");
    tap(GLFW_KEY_ESCAPE);
    EXPECT_NE(configText().find("language = \n"), std::string::npos) << configText();
}

TEST_F(SettingsWords, ALanguageTheGameHasNoCatalogueForIsTheSystems)
{
    writeConfig("language = xx\n");
    startTranslations(thisBuild().locale, [](const char* name) -> const char* {
        return std::string_view(name) == "LANGUAGE" ? "fr" : nullptr;
    });
    const std::string french = _("PAUSED");
    ASSERT_NE(french, "PAUSED");
    loadConfig();
    EXPECT_EQ(_("PAUSED"), french);
    SettingsScreen* settings = openSettingsAt(languageItem);
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings->menu.items[languageItem].value, _("SYSTEM"));
}

TEST_F(SettingsWords, TheNameIsTypedSavedAndReadBackAndEmptyGivesTheAccountsAgain)
{
    const std::string account = currentPlayerName();
    SettingsScreen* settings = openSettingsAt(nameItem);
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings->menu.items[nameItem].value, account);
    const bool muted = h->game.playerInput()->muted;
    tap(GLFW_KEY_ENTER);
    // Away with the account's name, letter by letter.
    for (std::size_t i = 0; i < decodeUtf8(account).size(); ++i)
        tap(GLFW_KEY_BACKSPACE);
    h->game.typedText = "Ada Łove";
    tap(GLFW_KEY_M); // a letter while typing, not the mute key
    h->game.typedText = "m//lace";
    tap(GLFW_KEY_L);
    EXPECT_EQ(settings->menu.items[nameItem].value, "Ada Łovem/lace_");
    EXPECT_EQ(h->game.playerInput()->muted, muted);
    EXPECT_EQ(top<SettingsScreen>(), settings) << "Backspace erased, it did not leave";
    tap(GLFW_KEY_ENTER);
    EXPECT_EQ(player_name, "Ada Łovem/lace");
    EXPECT_EQ(currentPlayerName(), "Ada Łovem/lace");
    // Escape leaves a name being typed as it was.
    tap(GLFW_KEY_ENTER);
    h->game.typedText = "xyz";
    h->frame(dt);
    tap(GLFW_KEY_ESCAPE);
    EXPECT_EQ(player_name, "Ada Łovem/lace");
    ASSERT_EQ(top<SettingsScreen>(), settings);
    tap(GLFW_KEY_ESCAPE);
    EXPECT_NE(configText().find("player_name = Ada Łovem/lace\n"), std::string::npos) << configText();
    resetSettings();
    loadConfig();
    EXPECT_EQ(currentPlayerName(), "Ada Łovem/lace") << "read back at the next start";

    // An empty name is the account's again.
    settings = openSettingsAt(nameItem);
    ASSERT_NE(settings, nullptr);
    tap(GLFW_KEY_ENTER);
    for (int i = 0; i < 20; ++i)
        tap(GLFW_KEY_BACKSPACE);
    tap(GLFW_KEY_ENTER);
    tap(GLFW_KEY_ESCAPE);
    resetSettings();
    loadConfig();
    EXPECT_EQ(player_name, "");
    EXPECT_EQ(currentPlayerName(), account);
}

TEST_F(Screens, TheSettingsScreenSavesAWindowSizeChangedAlone)
{
    tap(GLFW_KEY_P);
    choose(PauseScreen::Settings);
    ASSERT_NE(top<SettingsScreen>(), nullptr);
    for (std::size_t i = 0; i < settingItems().size() && settingItems()[i].style != ValueStyle::WindowSize; ++i)
        tap(GLFW_KEY_DOWN);
    tap(GLFW_KEY_RIGHT);
    const std::string size = top<SettingsScreen>()->menu.items[top<SettingsScreen>()->menu.highlighted].value;
    tap(GLFW_KEY_ESCAPE);
    ASSERT_NE(top<PauseScreen>(), nullptr);
    const std::string text = configText();
    const std::string width = size.substr(0, size.find(' '));
    EXPECT_NE(text.find("window_width = " + width + "\n"), std::string::npos) << size << "\n" << text;
    EXPECT_NE(text.find("window_height = "), std::string::npos) << text;
}

TEST_F(Screens, ANewDifficultyWaitsForTheNextRun)
{
    tap(GLFW_KEY_P);
    choose(PauseScreen::Settings);
    for (int i = 0; i < 5; ++i)
        tap(GLFW_KEY_DOWN);
    const float before = difficulty;
    tap(GLFW_KEY_RIGHT);
    EXPECT_EQ(difficulty, before) << "the run goes on by the rules it started with";
    tap(GLFW_KEY_ESCAPE);
    // Back on the pause menu at SETTINGS, one up is RESTART.
    tap(GLFW_KEY_UP);
    tap(GLFW_KEY_ENTER);
    h->frame(dt);
    EXPECT_EQ(h->player->remainingTime, 15.0f - dt) << "a new run began";
    EXPECT_NEAR(difficulty, before + 0.1f, 1e-5f);
}

TEST_F(Screens, ASettingsFileThatCannotBeWrittenKeepsTheGameGoing)
{
    // A file where the folder should be.
    fs::create_directories(scratch / "config");
    std::ofstream(scratch / "config" / "quillfen") << "not a folder";
    tap(GLFW_KEY_P);
    choose(PauseScreen::Settings);
    const float volume = sound_volume;
    ::testing::internal::CaptureStdout();
    tap(GLFW_KEY_LEFT);
    tap(GLFW_KEY_ESCAPE);
    const std::string out = ::testing::internal::GetCapturedStdout();
    auto* settings = top<SettingsScreen>();
    ASSERT_NE(settings, nullptr) << "the screen stays to say so";
    EXPECT_NE(settings->menu.message.find("NOT SAVED"), std::string::npos);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
    EXPECT_NEAR(sound_volume, volume - 0.1f, 1e-5f) << "the setting still applies";
    tap(GLFW_KEY_ESCAPE);
    EXPECT_NE(top<PauseScreen>(), nullptr);
}

TEST_F(Screens, AKeyBoundOnTheControlsScreenSteersAndIsSaved)
{
    tap(GLFW_KEY_P);
    choose(PauseScreen::Controls);
    ASSERT_NE(top<ControlsScreen>(), nullptr);
    // FORWARD is the first action: choose it, press Up.
    tap(GLFW_KEY_ENTER);
    tap(GLFW_KEY_UP);
    EXPECT_EQ(h->game.world()->input->controls().key(Action::Forward), GLFW_KEY_UP);
    tap(GLFW_KEY_ESCAPE);
    EXPECT_NE(configText().find("key_forward = UP"), std::string::npos) << configText();
    tap(GLFW_KEY_P);
    ASSERT_NE(top<PlayScreen>(), nullptr);
    expectForwardKey(GLFW_KEY_UP, GLFW_KEY_W);
}

TEST_F(Screens, ABindingSavedOnTheControlsScreenIsWhatTheNextStartBinds)
{
    // MUTE on ENTER swapped RESTART to M when the file was read.
    fs::create_directories(scratch / "config" / "quillfen");
    std::ofstream(scratch / "config" / "quillfen" / "config.txt") << "key_mute = ENTER\n";
    loadConfig();
    h->game.playerInput()->setControls(playerControls());
    tap(GLFW_KEY_P);
    choose(PauseScreen::Controls);
    auto* controls = top<ControlsScreen>();
    ASSERT_NE(controls, nullptr);
    choose(static_cast<int>(Action::Mute));
    tap(GLFW_KEY_N);
    const Controls shown = h->game.playerInput()->controls();
    EXPECT_EQ(shown.key(Action::Mute), GLFW_KEY_N);
    EXPECT_EQ(controls->menu.items[static_cast<std::size_t>(Action::Restart)].value, "M");
    tap(GLFW_KEY_ESCAPE);
    ASSERT_NE(top<PauseScreen>(), nullptr);

    resetSettings();
    loadConfig();
    EXPECT_EQ(playerControls(), shown) << configText();
}

TEST_F(Screens, ARunGivenUpWithRestartIsKeptAsGivenUpAndCanBeTheBest)
{
    h->frames(60, dt);
    tap(GLFW_KEY_P);
    choose(PauseScreen::Restart);
    h->frame(dt);
    ASSERT_FALSE(h->game.world()->runOver);
    const auto& runs = h->game.records->runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_TRUE(runs[0].givenUp);
    EXPECT_EQ(runs[0].name, playerName());
    // Giving up only cuts a run short: the best so far is the best, and its recording is kept.
    EXPECT_TRUE(fs::exists(replayFile("best.qfr")));

    h->player->health = 0.0f;
    h->frame(dt);
    ASSERT_TRUE(h->game.world()->runOver);
    ASSERT_EQ(runs.size(), 2u);
    ASSERT_EQ(h->game.records->newest(), 1u);
    EXPECT_FALSE(runs[1].givenUp) << "a death is no giving up";
}

TEST_F(Screens, F4BindsTheKeysItReads)
{
    fs::create_directories(scratch / "config" / "quillfen");
    std::ofstream(scratch / "config" / "quillfen" / "config.txt") << "key_forward = UP\n";
    tap(GLFW_KEY_F4);
    EXPECT_EQ(playerControls().key(Action::Forward), GLFW_KEY_UP);
    expectForwardKey(GLFW_KEY_UP, GLFW_KEY_W);

    // Read again without the line: the default comes back, as at the next start.
    std::ofstream(scratch / "config" / "quillfen" / "config.txt") << "fov = 70\n";
    tap(GLFW_KEY_F4);
    EXPECT_EQ(h->game.playerInput()->controls(), Controls());
}

TEST_F(Screens, AtTheGameOverEnterRestartsWhateverIsHighlightedAndTheArrowsMoveAsTheGridIsDrawn)
{
    h->player->health = 0.0f;
    h->frame(dt);
    auto* play = top<PlayScreen>();
    ASSERT_NE(play, nullptr);
    h->frame(dt);
    ASSERT_TRUE(play->gameOverShown);
    const Menu& menu = play->gameOverMenu;
    EXPECT_EQ(menu.highlighted, PlayScreen::Restart);
    // W and S fly the creature while the world goes on: they do not move the highlight.
    tap(GLFW_KEY_S);
    EXPECT_EQ(menu.highlighted, PlayScreen::Restart);
    // Four to a row: RESTART SETTINGS CONTROLS BEST RUNS, then WATCH THIS RUN, HELP, QUIT.
    ASSERT_EQ(menu.columns, 4);
    tap(GLFW_KEY_RIGHT);
    EXPECT_EQ(menu.highlighted, PlayScreen::Settings);
    tap(GLFW_KEY_DOWN);
    EXPECT_EQ(menu.highlighted, PlayScreen::Help);
    tap(GLFW_KEY_LEFT);
    tap(GLFW_KEY_LEFT);
    EXPECT_EQ(menu.highlighted, PlayScreen::Quit) << "Left goes round its row";
    tap(GLFW_KEY_UP);
    EXPECT_EQ(menu.highlighted, PlayScreen::Controls);
    tap(GLFW_KEY_UP);
    EXPECT_EQ(menu.highlighted, PlayScreen::Quit) << "Up goes round its column";
    tap(GLFW_KEY_UP);
    tap(GLFW_KEY_RIGHT);
    EXPECT_EQ(menu.highlighted, PlayScreen::BestRuns);

    // Tab opens what is highlighted, as the line under the menu says.
    tap(GLFW_KEY_TAB);
    EXPECT_NE(top<BestRunsScreen>(), nullptr);
    EXPECT_TRUE(h->game.paused) << "a menu over the game over stops the world";
    tap(GLFW_KEY_BACKSPACE);
    ASSERT_EQ(top<PlayScreen>(), play);
    EXPECT_TRUE(h->game.world()->runOver);
    // Enter restarts, as the prompt says, whatever is highlighted.
    ASSERT_EQ(menu.highlighted, PlayScreen::BestRuns);
    tap(GLFW_KEY_ENTER);
    EXPECT_EQ(top<PlayScreen>(), play);
    EXPECT_FALSE(h->game.world()->runOver);
    EXPECT_GT(h->player->health, 0.0f);

    // The pad: the D-pad moves, A restarts like Enter.
    h->player->health = 0.0f;
    h->frames(2, dt);
    ASSERT_TRUE(play->gameOverShown);
    keys->pad.connected = true;
    h->frame(dt);
    for (int button : {GLFW_GAMEPAD_BUTTON_DPAD_RIGHT, GLFW_GAMEPAD_BUTTON_A}) {
        keys->pad.buttons[button] = true;
        h->frame(dt);
        keys->pad.buttons[button] = false;
        h->frame(dt);
        if (button == GLFW_GAMEPAD_BUTTON_DPAD_RIGHT) {
            EXPECT_EQ(menu.highlighted, PlayScreen::Settings);
        }
    }
    EXPECT_FALSE(h->game.world()->runOver);
    EXPECT_GT(h->player->health, 0.0f);
}

TEST_F(Screens, ARestartKeyOfThePlayersOwnRestartsAtTheGameOverMenuAndTheRecordingKeepsIt)
{
    Controls controls = h->game.world()->input->controls();
    ASSERT_TRUE(controls.bind(Action::Restart, GLFW_KEY_R).accepted);
    h->game.world()->input->setControls(controls);
    h->frames(30, dt);
    h->player->health = 0.0f;
    h->frame(dt);
    ASSERT_TRUE(h->game.world()->runOver);
    tap(GLFW_KEY_DOWN); // the menu's choice is elsewhere: the key restarts all the same
    tap(GLFW_KEY_R);
    EXPECT_FALSE(h->game.world()->runOver);
    EXPECT_GT(h->player->health, 0.0f);
    h->frames(30, dt);

    std::string error;
    const auto replay = parseReplay(h->game.world()->recorder->fileContent(), error);
    ASSERT_TRUE(replay) << error;
    const glm::vec3 end = h->game.world()->player->getPosition();
    ReplayPlayer player(*replay);
    const auto run = player.makeRun();
    player.playToEnd(*run);
    EXPECT_FALSE(run->runOver) << "the playback restarts where the run did";
    EXPECT_EQ(run->player->getPosition(), end);
}

TEST_F(Screens, ThePauseMenuPassesOverAMissingRecordingAndQuitEndsTheGame)
{
    tap(GLFW_KEY_P);
    auto* pause = top<PauseScreen>();
    ASSERT_NE(pause, nullptr);
    EXPECT_EQ(pause->menu.highlighted, PauseScreen::Resume);
    EXPECT_FALSE(pause->menu.items[PauseScreen::WatchLast].enabled) << "no run has ended yet";
    EXPECT_FALSE(pause->menu.items[PauseScreen::WatchBest].enabled);
    // Up from RESUME wraps to QUIT, passing nothing dimmed on the way down.
    tap(GLFW_KEY_UP);
    EXPECT_EQ(pause->menu.highlighted, PauseScreen::Quit);
    tap(GLFW_KEY_UP);
    EXPECT_EQ(pause->menu.highlighted, PauseScreen::Help);
    tap(GLFW_KEY_UP);
    EXPECT_EQ(pause->menu.highlighted, PauseScreen::BestRuns);
    tap(GLFW_KEY_DOWN);
    tap(GLFW_KEY_DOWN);
    tap(GLFW_KEY_ENTER);
    EXPECT_TRUE(h->game.quitting);
}

TEST_F(Screens, CreatingTheWorldAgainReplacesItAndNeverAddsASecond)
{
    auto firstForest = h->game.world()->segmentManager;
    auto firstPlayer = h->game.world()->player;
    h->game.createWorld(h->game.world()->input, true);
    ASSERT_EQ(h->game.world()->root.children.size(), 1u);
    EXPECT_EQ(h->game.world()->root.children.front(), std::static_pointer_cast<GameObject>(h->game.world()->segmentManager));
    EXPECT_NE(h->game.world()->segmentManager, firstForest);
    EXPECT_NE(h->game.world()->player, firstPlayer);
    EXPECT_EQ(firstForest.use_count(), 1) << "the old forest is let go";
    EXPECT_EQ(h->game.world()->levelTimer, 0.0f);
    EXPECT_FALSE(h->game.world()->runOver);
}

} // namespace
