#include "files/Config.h"
#include "files/Replay.h"
#include "files/ReplayPlayer.h"
#include "files/UserFolders.h"
#include "support/GameHarness.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// A few frames that use every part of the format.
std::vector<ReplayFrame> sampleFrames()
{
    std::vector<ReplayFrame> frames(6);
    const ReplaySettings start{0.5f, 50.0f, 0.08f, 0.0f};
    for (auto& f : frames) {
        f.bindings = {};
        for (std::size_t i = 0; i < actionCount; ++i)
            f.bindings[i] = Controls().key(static_cast<Action>(i));
        f.frameTime = 1.0 / 60.0;
        f.windowWidth = 1000;
        f.windowHeight = 750;
        f.cursorX = 500;
        f.cursorY = 375;
        f.settings = start;
    }
    frames[1].keys = 0b101;
    frames[1].cursorX = 512.5;
    frames[1].scroll = 1;
    frames[2].keys = 0b101;
    frames[2].focused = false;
    frames[2].frameTime = 0.3;
    frames[3].windowWidth = 1001;
    frames[3].cursorX = 500; // the centre of an odd width is a whole pixel
    frames[3].scroll = -1;
    frames[3].gamepadAxes = {0.5f, -1.0f, 0.0f, 0.0f, 1.0f, -0.25f};
    frames[3].gamepadButtons = 0x8001;
    frames[4].settings.difficulty = 0.9f;
    frames[4].settings.invertMouse = 1.0f;
    frames[4].cursorY = 0.0;
    frames[4].restart = true;
    // The controls screen gave "forward" another key.
    frames[5].bindings[static_cast<std::size_t>(Action::Forward)] = GLFW_KEY_UP;
    frames[5].keys = 0;
    return frames;
}

std::string sampleFile(const std::vector<ReplayFrame>& frames)
{
    ReplayHeader header;
    header.settings = frames.front().settings;
    header.baseHealth = 5.0f;
    header.runStart = 2;
    header.frameCount = static_cast<std::uint32_t>(frames.size());
    header.keyCodes = {GLFW_KEY_W, GLFW_KEY_A, GLFW_KEY_ESCAPE};
    header.bindings = Controls().codes();
    ReplayEncoder encoder(header.settings, Controls());
    std::string bytes;
    for (const auto& f : frames)
        encoder.append(f, bytes);
    return writeReplay(header, bytes);
}

TEST(ReplayFile, FramesComeBackAsTheyWereWritten)
{
    const auto frames = sampleFrames();
    std::string error;
    const auto replay = parseReplay(sampleFile(frames), error);
    ASSERT_TRUE(replay) << error;
    EXPECT_EQ(replay->header.runStart, 2u);
    EXPECT_EQ(replay->header.keyCodes, (std::vector<int>{GLFW_KEY_W, GLFW_KEY_A, GLFW_KEY_ESCAPE}));
    ReplayCursor cursor(*replay);
    for (const auto& expected : frames) {
        const auto frame = cursor.next();
        ASSERT_TRUE(frame);
        EXPECT_EQ(*frame, expected) << "frame " << cursor.index();
    }
    EXPECT_FALSE(cursor.next());
}

// Every way a file can be wrong gives no replay and one sentence, never a crash or a read
// outside the file (the sanitizer build checks the latter).
TEST(ReplayFile, DamagedFilesAreRefusedWithOneSentence)
{
    const std::string file = sampleFile(sampleFrames());
    std::string error;
    for (std::size_t length = 0; length < file.size(); ++length) {
        error.clear();
        EXPECT_FALSE(parseReplay(std::string_view(file).substr(0, length), error)) << "cut at " << length;
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
    EXPECT_FALSE(parseReplay(file + "x", error));

    std::string otherVersion = file;
    otherVersion[8] = 1;
    EXPECT_FALSE(parseReplay(otherVersion, error));
    EXPECT_NE(error.find("format 1"), std::string::npos) << error;

    EXPECT_FALSE(parseReplay("config.txt: fov=60\n", error));
    EXPECT_EQ(error, "it is not a Quillfen replay");

    // Any single byte changed: refused or read whole, within the file.
    for (std::size_t i = 0; i < file.size(); ++i) {
        std::string damaged = file;
        damaged[i] = static_cast<char>(damaged[i] ^ 0xff);
        error.clear();
        if (!parseReplay(damaged, error)) {
            EXPECT_FALSE(error.empty()) << "byte " << i;
        }
    }

    const fs::path missing = fs::temp_directory_path() / "quillfen-no-such-replay.qfr";
    EXPECT_FALSE(loadReplay(missing, error));
    EXPECT_EQ(error, "it cannot be opened");
}

// Scripted play that touches every recorded input: keys, mouse, wheel, pauses (lost focus and
// P, resumed by P: the pause menu's frames are not recorded), the rules changed by F4, and a
// restart chosen at the game-over menu.
struct Session {
    std::unique_ptr<testkit::GameHarness> harness;
    testkit::FakeInputDevice* keys = nullptr;
    // Frames shown so far, menus' and play's alike.
    int clock = 0;
    int gameOverFrame = -1;
    int pausedFrames = 0;
    // The last restart: the run that ends the session starts there.
    int restartFrame = -1;
    std::string fileAtGameOver;
};

void fly(Session& s, int frames)
{
    Game& game = s.harness->game;
    for (int i = 0; i < frames; ++i, ++s.clock) {
        const int n = static_cast<int>(game.world()->recorder->frameCount());
        const int t = s.clock;
        s.keys->pressed[GLFW_KEY_W] = t % 200 < 60;
        s.keys->pressed[GLFW_KEY_A] = t % 150 > 100;
        s.keys->pressed[GLFW_KEY_SPACE] = t % 90 < 10;
        s.keys->cursorX = 500.0 + (t % 50 == 0 ? 7.0 : 0.0);
        s.keys->cursorY = 375.0 - (t % 70 == 0 ? 3.5 : 0.0);
        if (t % 120 == 5)
            game.pendingScroll = t % 240 == 5 ? 1 : -1;
        // A second away from the window pauses; P back in resumes. P pauses and resumes.
        game.focused = t < 400 || t > 460;
        s.keys->pressed[GLFW_KEY_P] = (t >= 470 && t < 474) || (t >= 600 && t < 605) || (t >= 700 && t < 705);
        // As F4 would after config.txt changed: a harder game from here on.
        if (t == 500)
            difficulty = 0.8f;
        const bool over = game.world()->player->health <= 0.0f || game.world()->player->remainingTime < 0.0f;
        s.keys->pressed[GLFW_KEY_ENTER] = over && n % 10 < 5;
        const bool wasOver = game.world()->runOver;
        s.harness->frame(1.0f / 60.0f);
        s.pausedFrames += game.paused ? 1 : 0;
        if (game.world()->runOver && s.gameOverFrame < 0) {
            s.gameOverFrame = n;
            std::ifstream in(userDataFolder() / "replays" / "last.qfr", std::ios::binary);
            s.fileAtGameOver.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        if (wasOver && !game.world()->runOver)
            s.restartFrame = n;
    }
}

struct FinalState {
    int level;
    float health;
    float remainingTime;
    glm::vec3 position;
};

FinalState stateOf(const Run& run)
{
    return {run.player->level, run.player->health, run.player->remainingTime, run.player->getPosition()};
}

void expectSameState(const FinalState& a, const FinalState& b)
{
    EXPECT_EQ(a.level, b.level);
    EXPECT_EQ(a.health, b.health);
    EXPECT_EQ(a.remainingTime, b.remainingTime);
    EXPECT_EQ(a.position, b.position);
}

FinalState playBack(const Replay& replay)
{
    ReplayPlayer player(replay);
    const auto run = player.makeRun();
    player.playToEnd(*run);
    EXPECT_EQ(player.framesPlayed(), replay.header.frameCount);
    return stateOf(*run);
}

class ReplayScratch : public ::testing::Test {
protected:
    void SetUp() override
    {
        scratch = fs::temp_directory_path() / ("quillfen-replay-" + std::to_string(::getpid()));
        fs::remove_all(scratch);
        env.set("XDG_DATA_HOME", scratch.c_str());
    }
    void TearDown() override { fs::remove_all(scratch); }

    fs::path scratch;
    testkit::ScopedEnv env;
};

TEST_F(ReplayScratch, PlayingBackReachesTheRecordedEndEveryTime)
{
    Session s;
    s.harness = std::make_unique<testkit::GameHarness>(true);
    auto device = std::make_unique<testkit::FakeInputDevice>();
    s.keys = device.get();
    s.harness->game.recordWith(std::move(device));
    // The menus read the same hands.
    s.harness->game.menuInput.setDevice(s.keys);
    fly(s, 60 * 45);
    ASSERT_GT(s.pausedFrames, 100) << "the scripted run never paused";
    // The frames spent in the pause menu are not part of the run: every other one is recorded
    // (the one that opens the menu is a step of play, the one that closes it a frame of the menu's).
    EXPECT_EQ(s.harness->game.world()->recorder->frameCount(), static_cast<std::size_t>(s.clock - s.pausedFrames));
    ASSERT_GE(s.gameOverFrame, 0) << "the scripted run never ended";
    ASSERT_GT(s.restartFrame, s.gameOverFrame) << "the scripted run never restarted";

    // The file the game over left behind holds the run up to that frame.
    std::string error;
    const auto atGameOver = parseReplay(s.fileAtGameOver, error);
    ASSERT_TRUE(atGameOver) << error;
    EXPECT_EQ(atGameOver->header.frameCount, static_cast<std::uint32_t>(s.gameOverFrame + 1));
    EXPECT_EQ(atGameOver->header.runStart, 0u);

    const FinalState recorded = stateOf(*s.harness->game.world());
    const auto replay = parseReplay(s.harness->game.world()->recorder->fileContent(), error);
    ASSERT_TRUE(replay) << error;
    // The run after the restart is the one to show; the frames before it rebuild its world.
    EXPECT_EQ(replay->header.runStart, static_cast<std::uint32_t>(s.restartFrame));
    s.harness.reset();

    // Today's config says otherwise: the replay keeps the rules it was recorded under.
    resetSettings();
    difficulty = 0.1f;
    expectSameState(playBack(*replay), recorded);
    expectSameState(playBack(*replay), recorded);
}

TEST(Replay, RecordingStopsAtItsLimitAndPlayGoesOn)
{
    testkit::GameHarness h(true);
    auto device = std::make_unique<testkit::FakeInputDevice>();
    auto* keys = device.get();
    h.game.world()->recorder = std::make_shared<ReplayRecorder>(h.game.world()->rules, 4096);
    h.game.world()->input = std::make_shared<GameInput>(h.game.world()->recorder->watch(std::move(device)));

    ::testing::internal::CaptureStdout();
    glm::vec3 whereItStopped(0.0f);
    for (int i = 0; i < 600; ++i) {
        keys->cursorX = 500.0 + i % 3; // a moving mouse: the biggest frames
        h.frame(1.0f / 60.0f);
        if (h.game.world()->recorder->stopped() && whereItStopped == glm::vec3(0.0f))
            whereItStopped = h.player->getPosition();
    }
    const std::string out = ::testing::internal::GetCapturedStdout();
    ASSERT_TRUE(h.game.world()->recorder->stopped());
    EXPECT_LT(h.game.world()->recorder->fileContent().size(), 4096u);
    const std::string message = "the recording has reached its limit";
    ASSERT_NE(out.find(message), std::string::npos) << out;
    EXPECT_EQ(out.find(message, out.find(message) + 1), std::string::npos) << "said more than once: " << out;
    std::string error;
    EXPECT_FALSE(h.game.world()->recorder->save(fs::temp_directory_path() / "quillfen-never.qfr", error));
    EXPECT_FALSE(fs::exists(fs::temp_directory_path() / "quillfen-never.qfr"));
    // The game went on.
    EXPECT_GT(glm::distance(h.player->getPosition(), whereItStopped), 10.0f);
}

// The real executable, from build/bin; returns its exit status and output.
int runQuillfen(const std::string& arguments, std::string& out, const std::string& environment = "")
{
    const fs::path log = fs::temp_directory_path() / ("quillfen-cli-" + std::to_string(::getpid()) + ".txt");
    const int status = std::system((environment + " ./quillfen " + arguments + " > " + log.string() + " 2>&1").c_str());
    std::ifstream in(log);
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    fs::remove(log);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ReplayCommandLine, UnknownOptionsAndBadFilesAreRefusedBeforeAnyWindow)
{
    std::string out;
    const std::string usage = "usage: quillfen [--replay FILE]\n";
    EXPECT_EQ(runQuillfen("--fullscreen", out), 2);
    EXPECT_EQ(out, usage);
    EXPECT_EQ(runQuillfen("--replay", out), 2);
    EXPECT_EQ(out, usage);
    // --help and --version print what they name and succeed, as desktop programs do.
    EXPECT_EQ(runQuillfen("--help", out), 0);
    EXPECT_EQ(out.rfind(usage, 0), 0u) << out;
    for (const char* option : {"\n  --replay FILE ", "\n  --help ", "\n  --version "})
        EXPECT_NE(out.find(option), std::string::npos) << option << " is not explained in: " << out;
    EXPECT_EQ(runQuillfen("--version", out), 0);
    EXPECT_TRUE(std::regex_match(out, std::regex("quillfen [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << out;

    const fs::path cut = fs::temp_directory_path() / ("quillfen-cut-" + std::to_string(::getpid()) + ".qfr");
    const std::string file = sampleFile(sampleFrames());
    std::ofstream(cut, std::ios::binary) << file.substr(0, file.size() - 3);
    // No display: a file that is refused must be refused before the game needs one.
    EXPECT_EQ(runQuillfen("--replay " + cut.string(), out, "env -u DISPLAY -u WAYLAND_DISPLAY"), 1);
    EXPECT_EQ(out, "Replay: cannot play " + cut.string() + ": it is cut short\n");
    fs::remove(cut);
}

} // namespace
