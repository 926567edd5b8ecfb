// The game's sound, heard through OpenAL Soft's loopback device: the real mixer renders what a
// player would hear into memory after every frame of the real game update.
#include "audio/AudioDevice.h"
#include "audio/GameSound.h"
#include "audio/MusicStream.h"
#include "files/Config.h"
#include "files/Files.h"
#include "input/GameInput.h"
#include "physics/CollisionFilter.h"
#include "physics/PhysxObject.h"
#include "render/Mesh.h"
#include "support/GameHarness.h"

#include <AL/alc.h>
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

namespace {

// The only playback device these tests can open is OpenAL Soft's file writer into /dev/full,
// never the sound card of whoever runs them: its first write fails and the device is gone,
// as a headset is when its plug is pulled. OpenAL reads its settings once, at its first call,
// so they are in place before any test starts.
class PlaybackIntoDevFull {
public:
    PlaybackIntoDevFull()
        : file((std::filesystem::temp_directory_path() / ("quillfen-openal-" + std::to_string(getpid()) + ".conf")).string())
    {
        std::ofstream(file) << "[general]\ndrivers = wave\n[wave]\nfile = /dev/full\n";
        setenv("ALSOFT_CONF", file.c_str(), 1);
        setenv("ALSOFT_LOGLEVEL", "0", 1); // the writer's own complaint about the failed write
    }
    ~PlaybackIntoDevFull() { std::remove(file.c_str()); }
    PlaybackIntoDevFull(const PlaybackIntoDevFull&) = delete;
    PlaybackIntoDevFull& operator=(const PlaybackIntoDevFull&) = delete;

private:
    std::string file;
};
const PlaybackIntoDevFull playbackIntoDevFull;

constexpr int rate = 44100;
constexpr float dt = 1.0f / 60.0f;
constexpr int frameSamples = rate / 60; // 735: a frame's audio, exactly

// Interleaved stereo audio of some frames.
struct Audio {
    std::vector<float> samples;

    float peak() const
    {
        float p = 0.0f;
        for (float s : samples)
            p = std::max(p, std::abs(s));
        return p;
    }
    double energy(int channel) const
    {
        double e = 0.0;
        for (std::size_t i = static_cast<std::size_t>(channel); i < samples.size(); i += 2)
            e += static_cast<double>(samples[i]) * samples[i];
        return e;
    }
    double rms() const { return std::sqrt((energy(0) + energy(1)) / std::max<std::size_t>(1, samples.size())); }
    void append(const Audio& more) { samples.insert(samples.end(), more.samples.begin(), more.samples.end()); }
};

// A game without a window whose sound mixes into memory. Only what a test asks for is heard:
// no music unless it says so.
class HeardGame {
public:
    explicit HeardGame(float music = 0.0f, float effects = 0.8f, bool withSegments = false)
        : h(withSegments)
    {
        music_volume = music;
        sound_volume = effects;
        auto device = AudioDevice::openLoopback(rate);
        if (!device)
            ADD_FAILURE() << "OpenAL has no loopback device";
        else
            h.game.sound = std::make_unique<GameSound>(std::move(device));
    }

    // One frame of the game, then the audio mixed during it.
    Audio frame()
    {
        h.frame(dt);
        Audio out;
        out.samples.resize(2 * frameSamples);
        if (h.game.sound && h.game.sound->hasOutput())
            h.game.sound->output().render(out.samples.data(), frameSamples);
        return out;
    }
    Audio frames(int count)
    {
        Audio all;
        for (int i = 0; i < count; ++i)
            all.append(frame());
        return all;
    }

    // Without a window there is no butterfly model, and a creature without its four wing
    // meshes does not flap: these stand in for the model's joints and wings.
    void giveWings()
    {
        for (auto* part : {&h.player->leftJoin, &h.player->rightJoin, &h.player->leftWing, &h.player->rightWing})
            *part = std::make_shared<Mesh>(glm::mat4(1.0f), glm::mat4(1.0f));
    }

    // A pollen-sized pickup the creature flies into (it flies along +x from the origin).
    std::shared_ptr<PhysxObjectDynamic> pollen(glm::vec3 position, glm::vec3 halfExtents = glm::vec3(1.0f))
    {
        return h.boundary(COLLISION_POLLEN, position, halfExtents);
    }

    testkit::GameHarness h;
};

// Silence, as the mixer gives it: nothing but rounding.
constexpr float silent = 1e-6f;

class GameSoundTest : public ::testing::Test {
protected:
    // The game's sounds are the repository's, wherever the build folder is.
    GameSoundTest() { sandbox.copyRealAssets(); }
    void TearDown() override { resetSettings(); }

    testkit::AssetSandbox sandbox;
};

TEST_F(GameSoundTest, APollenADropAndATreeAreHeardWithinAFrameOfTheHitAndNothingBefore)
{
    // The chime, the splash with its hurt cue, the thud: each comes from what the creature flew into.
    for (const std::uint32_t kind : {COLLISION_POLLEN, COLLISION_RAINDROP, COLLISION_TREE}) {
        HeardGame g;
        g.giveWings();
        auto thing = g.h.boundary(kind, glm::vec3(6.0f, 0.0f, 0.0f), glm::vec3(1.0f));
        auto hit = [&] { return kind == COLLISION_TREE ? g.h.player->knockbackFrame >= 0 : thing->isDestroyed(); };
        int hitFrame = -1;
        std::vector<float> peaks;
        for (int f = 0; f < 20 && hitFrame < 0; ++f) {
            peaks.push_back(g.frame().peak());
            if (hit())
                hitFrame = f;
        }
        ASSERT_GE(hitFrame, 1) << "kind " << kind << ": the creature never reached it";
        for (int f = 0; f < hitFrame; ++f)
            EXPECT_LT(peaks[static_cast<std::size_t>(f)], silent) << "kind " << kind << ": sound at frame " << f;
        const float heard = std::max(peaks.back(), g.frame().peak());
        EXPECT_GT(heard, 0.05f) << "kind " << kind << ": nothing heard in the frame of the hit or the next";
    }
}

TEST_F(GameSoundTest, APollenToTheLeftIsLouderOnTheLeftAndToTheRightOnTheRight)
{
    // Left of a creature flying along +x in the z-up world is +y.
    for (const float side : {1.0f, -1.0f}) {
        HeardGame g;
        // A wide pickup reaching in from one side, so the creature brushes its near edge.
        auto pickup = g.pollen(glm::vec3(6.0f, side * 8.4f, 0.0f), glm::vec3(1.0f, 8.0f, 3.0f));
        const Audio heard = g.frames(30);
        ASSERT_TRUE(pickup->isDestroyed());
        const double left = heard.energy(0);
        const double right = heard.energy(1);
        ASSERT_GT(left + right, 1e-3);
        if (side > 0.0f)
            EXPECT_GT(left, 2.0 * right) << "pollen on the left";
        else
            EXPECT_GT(right, 2.0 * left) << "pollen on the right";
    }
}

TEST_F(GameSoundTest, MMutesEverythingToSilenceAndUnmutesIt)
{
    HeardGame g(0.5f);
    g.giveWings();
    ASSERT_GT(g.frames(10).rms(), 0.01) << "the music should be playing";

    g.h.press(GLFW_KEY_M);
    g.frame();
    g.h.release(GLFW_KEY_M);
    g.frame(); // the toggle; the mixer may glide to the new gain within it
    ASSERT_TRUE(g.h.game.world()->input->muted);
    EXPECT_STREQ(g.h.game.hud.soundNotice(), "SOUND OFF");
    EXPECT_LT(g.frames(60).peak(), silent) << "muted, yet something is heard (wings flap within this second)";

    g.h.press(GLFW_KEY_M);
    g.frame();
    g.h.release(GLFW_KEY_M);
    g.frame();
    EXPECT_STREQ(g.h.game.hud.soundNotice(), "SOUND ON");
    EXPECT_GT(g.frames(10).rms(), 0.01) << "unmuted, yet nothing is heard";
}

TEST_F(GameSoundTest, SoundVolumeZeroSilencesTheEffectsWhileTheMusicPlaysAtMusicVolume)
{
    // The same 40 frames heard three times: the mixer is deterministic, so the runs compare sample by sample.
    auto run = [](float music, bool withPollen) {
        HeardGame g(music, 0.0f);
        g.giveWings();
        std::shared_ptr<PhysxObjectDynamic> pickup;
        if (withPollen)
            pickup = g.pollen(glm::vec3(6.0f, 0.0f, 0.0f));
        Audio heard = g.frames(40); // a pollen at 0.1 s, a wing down-stroke at 0.45 s
        if (withPollen) {
            EXPECT_TRUE(pickup->isDestroyed());
        }
        return heard;
    };
    const Audio halfWithEffects = run(0.5f, true);
    const Audio halfMusicOnly = run(0.5f, false);
    const Audio fullMusicOnly = run(1.0f, false);

    ASSERT_GT(halfMusicOnly.rms(), 0.01);
    ASSERT_EQ(halfWithEffects.samples.size(), halfMusicOnly.samples.size());
    float difference = 0.0f;
    for (std::size_t i = 0; i < halfMusicOnly.samples.size(); ++i)
        difference = std::max(difference, std::abs(halfWithEffects.samples[i] - halfMusicOnly.samples[i]));
    EXPECT_LT(difference, silent) << "an effect was heard at sound_volume 0";
    EXPECT_NEAR(fullMusicOnly.rms() / halfMusicOnly.rms(), 2.0, 0.02) << "music not scaled by music_volume";
}

// The frames in which a sound starts after at least a few frames of silence.
std::vector<int> onsets(const std::vector<float>& peaks)
{
    std::vector<int> starts;
    int quiet = 3;
    for (std::size_t f = 0; f < peaks.size(); ++f) {
        if (peaks[f] > silent) {
            if (quiet >= 3)
                starts.push_back(static_cast<int>(f));
            quiet = 0;
        } else {
            ++quiet;
        }
    }
    return starts;
}

TEST_F(GameSoundTest, WingsFlapOnEveryDownStrokeAndKeepTimeWithW)
{
    std::size_t strokes[2] = {0, 0};
    for (const bool fast : {false, true}) {
        HeardGame g;
        g.giveWings();
        if (fast)
            g.h.press(GLFW_KEY_W);
        std::vector<float> peaks;
        std::vector<int> downStrokes;
        for (int f = 0; f < 240; ++f) {
            const float before = g.h.player->wingDirection;
            peaks.push_back(g.frame().peak());
            if (before > 0.0f && g.h.player->wingDirection < 0.0f)
                downStrokes.push_back(f);
        }
        EXPECT_GE(downStrokes.size(), 2u);
        EXPECT_EQ(onsets(peaks), downStrokes) << (fast ? "with W" : "without W");
        strokes[fast] = downStrokes.size();
    }
    EXPECT_GT(strokes[1], strokes[0]) << "W beats the wings faster, and the flaps with them";
}

TEST_F(GameSoundTest, LevelUpAndEachWayOfLosingHaveTheirOwnCueAtTheMoment)
{
    enum Moment { LevelUp, Died, OutOfTime };
    // Ten frames before the moment, five after: well before the first wing down-stroke.
    auto hear = [](Moment moment) {
        HeardGame g;
        const Audio before = g.frames(10);
        EXPECT_LT(before.peak(), silent);
        if (moment == LevelUp)
            g.h.game.world()->levelTimer = 15.5f; // the rules level up in the next frame
        else if (moment == Died)
            g.h.player->health = 0.0f;
        else
            g.h.player->remainingTime = -0.01f;
        Audio after = g.frames(5);
        EXPECT_GT(after.peak(), 0.05f) << "moment " << moment;
        return after;
    };
    const Audio levelUp = hear(LevelUp);
    const Audio died = hear(Died);
    const Audio outOfTime = hear(OutOfTime);
    // Three different cues: two of them alike means one moment plays another's sound.
    auto distance = [](const Audio& a, const Audio& b) {
        double d = 0.0;
        for (std::size_t i = 0; i < a.samples.size(); ++i)
            d += std::abs(a.samples[i] - b.samples[i]);
        return d;
    };
    EXPECT_GT(distance(levelUp, died), 1.0);
    EXPECT_GT(distance(died, outOfTime), 1.0);
    EXPECT_GT(distance(levelUp, outOfTime), 1.0);
}

TEST_F(GameSoundTest, RainFollowsTheShowerNearTheCreatureAndDucksWhileTheGameIsOver)
{
    HeardGame g(0.0f, 0.8f, true);
    // Above the trees, clear of every knock.
    g.h.player->setPosition(glm::vec3(0.0f, 0.0f, 62.0f));
    g.h.player->remainingTime = 1e9f;

    g.frames(4 * 60);
    const double shower = g.frames(60).rms();
    EXPECT_GT(shower, 0.005) << "no rain heard in a shower";

    // Far to the side of the tunnel no rain falls near the creature.
    const glm::vec3 inside = g.h.player->getPosition();
    g.h.player->setPosition(inside + glm::vec3(0.0f, 1000.0f, 0.0f));
    g.frames(3 * 60);
    EXPECT_LT(g.frames(30).rms(), 0.2 * shower) << "the rain should fade away from the rain";
    g.h.player->setPosition(g.h.player->getPosition() - glm::vec3(0.0f, 1000.0f, 0.0f));
    g.frames(3 * 60);
    EXPECT_GT(g.frames(30).rms(), 0.5 * shower) << "the rain should come back in the rain";

    // Paused, the world stands still and so does its rain; it comes back on resuming.
    g.h.game.openPauseMenu();
    g.frames(60); // whatever splash was ringing ends
    EXPECT_LT(g.frames(30).peak(), silent) << "rain heard while paused";
    g.h.game.screens.pop();
    g.frames(30);
    EXPECT_GT(g.frames(30).rms(), 0.5 * shower) << "the rain should come back on resuming";

    sound_volume = 0.0f;
    g.frame();
    EXPECT_LT(g.frames(10).peak(), silent) << "rain heard at sound_volume 0";
    sound_volume = 0.8f;
    g.frames(60);

    g.h.player->health = 0.0f;
    g.frames(120); // the sting rings out, the rain ducks
    EXPECT_LT(g.frames(30).rms(), 0.4 * shower) << "the rain should duck while the game is over";

    g.h.press(GLFW_KEY_ENTER);
    g.frame();
    g.h.release(GLFW_KEY_ENTER);
    g.frames(90);
    EXPECT_GT(g.frames(30).rms(), 0.5 * shower) << "the rain should come back on restart";
}

TEST_F(GameSoundTest, AMissingOrDamagedSoundFileIsReportedOnceAndOnlyThatSoundIsSilent)
{
    std::filesystem::remove(sandbox.assets() / "sounds" / "chime.ogg");
    sandbox.write("sounds/levelup.ogg", "OggS but not really a sound at all");

    ::testing::internal::CaptureStdout();
    HeardGame g;
    g.giveWings();
    auto pickup = g.pollen(glm::vec3(6.0f, 0.0f, 0.0f));
    g.h.game.world()->levelTimer = 15.5f;
    const Audio collecting = g.frames(20);
    const std::string out = ::testing::internal::GetCapturedStdout();

    EXPECT_EQ(out, "ERROR - failed to load sound: ../../assets/sounds/chime.ogg\n"
                   "ERROR - failed to load sound: ../../assets/sounds/levelup.ogg\n");
    ASSERT_TRUE(pickup->isDestroyed());
    EXPECT_EQ(g.h.player->level, 1);
    EXPECT_LT(collecting.peak(), silent) << "a sound whose file failed was heard";
    EXPECT_GT(g.frames(30).peak(), 0.01f) << "the wings' sound, whose file is fine, should still be heard";
}

TEST_F(GameSoundTest, WithoutAnAudioDeviceTheGameSaysSoOnceAndPlaysSilently)
{
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    const auto device = AudioDevice::openPlayback("Quillfen test: no such device");
    std::fputs("standard error is back\n", stderr);
    const std::string errors = ::testing::internal::GetCapturedStderr();
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(out, "Sound: no audio device, playing silently\n");
    // Standard error, hushed while the libraries look for a sound card, works again afterwards.
    EXPECT_EQ(errors, "standard error is back\n");

    // No sound system at all: the frame's events are still taken and let go, frame after frame.
    testkit::GameHarness h;
    auto pickup = h.boundary(COLLISION_POLLEN, glm::vec3(6.0f, 0.0f, 0.0f), glm::vec3(1.0f));
    ::testing::internal::CaptureStdout();
    h.frames(20, dt);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_TRUE(pickup->isDestroyed());
    h.frame(dt);
    EXPECT_EQ(h.game.world()->soundEvents.size(), 0u);
}

// A playback device into /dev/full, once it has gone away (within milliseconds of opening).
std::unique_ptr<AudioDevice> lostDevice()
{
    auto device = AudioDevice::findPlayback();
    if (!device)
        return nullptr;
    for (int wait = 0; wait < 200 && device->connected(); ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return device;
}

TEST_F(GameSoundTest, ALostDeviceIsToldOnceWithinASecondAndTheSoundComesBackOnTheNextDevice)
{
    HeardGame g(0.5f);
    g.giveWings();
    int reopened = 0;
    g.h.game.sound.reset();
    auto lost = lostDevice();
    ASSERT_NE(lost, nullptr) << "no playback device into /dev/full";
    ASSERT_FALSE(lost->connected());
    g.h.game.sound = std::make_unique<GameSound>(std::move(lost), [&] {
        ++reopened;
        return AudioDevice::openLoopback(rate);
    });

    ::testing::internal::CaptureStdout();
    int frames = 0;
    while (reopened == 0 && frames < 3 * 60) {
        g.frame();
        ++frames;
    }
    const std::string told = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(reopened, 1) << "the lost device went unnoticed for 3 seconds";
    EXPECT_LE(frames, 61) << "noticed only after " << frames << " frames";
    EXPECT_EQ(told, "Sound: the audio device was lost; playing on the default device\n");
    ASSERT_TRUE(g.h.game.sound->hasOutput() && g.h.game.sound->output().isLoopback());

    // On the new device the music plays, and the game's sounds are heard again.
    ::testing::internal::CaptureStdout();
    EXPECT_GT(g.frames(30).rms(), 0.01) << "no music on the new device";
    music_volume = 0.0f;
    g.frames(5);
    auto pickup = g.pollen(g.h.player->getPosition() + glm::vec3(6.0f, 0.0f, 0.0f));
    const Audio chime = g.frames(20);
    ASSERT_TRUE(pickup->isDestroyed());
    EXPECT_GT(chime.peak(), 0.05f) << "the pollen's chime is not heard on the new device";
    g.frames(3 * 60);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "") << "a device that plays on is not lost";
    EXPECT_EQ(reopened, 1);
}

TEST_F(GameSoundTest, ALostDeviceWithNoOtherIsToldOnceAndTheGamePlaysOnSilently)
{
    HeardGame g(0.5f);
    g.h.game.sound.reset();
    auto lost = lostDevice();
    ASSERT_NE(lost, nullptr) << "no playback device into /dev/full";
    g.h.game.sound = std::make_unique<GameSound>(std::move(lost), [] { return std::unique_ptr<AudioDevice>(); });

    ::testing::internal::CaptureStdout();
    g.frames(2 * 60);
    auto pickup = g.pollen(g.h.player->getPosition() + glm::vec3(6.0f, 0.0f, 0.0f));
    g.frames(3 * 60);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Sound: the audio device was lost; playing silently\n");
    EXPECT_TRUE(pickup->isDestroyed());
    EXPECT_FALSE(g.h.game.sound->hasOutput());
    // The lost device is let go, and nothing is left playing into it.
    EXPECT_EQ(alcGetCurrentContext(), nullptr);
}

TEST_F(GameSoundTest, ADeviceThatIsLostAsSoonAsItTakesOverIsNotAskedAgainAndAgain)
{
    HeardGame g;
    g.h.game.sound.reset();
    auto lost = lostDevice();
    ASSERT_NE(lost, nullptr) << "no playback device into /dev/full";
    int reopened = 0;
    g.h.game.sound = std::make_unique<GameSound>(std::move(lost), [&] {
        ++reopened;
        return lostDevice(); // the system's default device, broken too
    });

    ::testing::internal::CaptureStdout();
    g.frames(10 * 60);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Sound: the audio device was lost; playing on the default device\n"
                                                        "Sound: the audio device was lost; playing silently\n");
    EXPECT_EQ(reopened, 1);
    EXPECT_FALSE(g.h.game.sound->hasOutput());
}

TEST_F(GameSoundTest, TheMusicOnALostDeviceIsNotDecodedAgainAndAgain)
{
    auto lost = lostDevice();
    ASSERT_NE(lost, nullptr) << "no playback device into /dev/full";
    ASSERT_FALSE(lost->connected());
    MusicStream music(assetPath("sounds/music.ogg"), 0.5f);
    ASSERT_TRUE(music.isOpen());
    const std::int64_t decoded = music.position();
    for (int frame = 0; frame < 30; ++frame)
        music.update();
    EXPECT_EQ(music.position(), decoded) << "the tune is read on for a device that is gone";
}

} // namespace
