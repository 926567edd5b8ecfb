#pragma once

#include "audio/AudioDevice.h"
#include "audio/MusicStream.h"

#include <glm/glm.hpp>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

class Run;

// The game's sounds, by the file they are made from ("sounds/<name>.ogg").
enum class Sound { Chime, Flap, Splash, Hurt, Thud, Tick, Rain, LevelUp, Died, OutOfTime, Count };

// What the player hears: the game's events and state turned into OpenAL sources once a frame,
// after physics. Effects play at their place in the world as heard from the camera; the rain
// follows how much rain falls near the creature; the music streams underneath. Rain and music
// duck while the game is over. sound_volume scales the effects and the rain, music_volume the
// music; M (the input's mute toggle) silences everything. About once a second it checks that
// the device is still there; when it is gone, it says so once and carries on with the system's
// default device, or silently when there is none.
class GameSound {
public:
    using DeviceOpener = std::function<std::unique_ptr<AudioDevice>()>;

    // Loads every sound and opens the music on the device (not null), whose context is current.
    // reopen gives the device that takes over when this one is lost (by default the system's
    // default playback device, if there is one).
    explicit GameSound(std::unique_ptr<AudioDevice> device, DeviceOpener reopen = {});
    ~GameSound();
    GameSound(const GameSound&) = delete;
    GameSound& operator=(const GameSound&) = delete;

    // The system's playback device; null (having said so once) on a machine without one.
    static std::unique_ptr<GameSound> start();

    // Hears this frame of `dt` seconds: the listener follows the camera of the run on show (if
    // any), its step's events and state changes start their sounds, the rain (still while
    // `paused`) and music gains follow, the music is refilled.
    void update(float dt, const Run* run, bool paused);

    // The device played through; only while there is one (see hasOutput).
    AudioDevice& output() { return *device; }
    bool hasOutput() const { return device != nullptr; }

    // The pollen chime at the listener, at the effects' loudness: how loud the game now sounds
    // (the settings screen plays it when the sound volume changes).
    void preview();

    static constexpr int voiceCount = 12;
    // Seconds between two checks that the device is still there.
    static constexpr float connectionCheckInterval = 1.0f;

private:
    // What the game keeps on the device, all of it lost with the device: the sounds' buffers,
    // the voices, the rain's source and the music stream (which goes on from frame musicFrom).
    void acquire(std::int64_t musicFrom);
    void release();
    // Every connectionCheckInterval seconds: a lost device is given up for the next one.
    void watchDevice(float dt);
    // Starts a sound on a free voice (or the longest-playing one when steal is set): at
    // position in the world, or at the listener when positional is false.
    void play(Sound sound, glm::vec3 position, bool positional, bool steal = true);
    void hearRules(const Run& run);
    void hearRain(const Run& run, float dt, bool paused);

    std::unique_ptr<AudioDevice> device;
    DeviceOpener reopen;
    float sinceCheck = 0.0f;
    // The device took over from a lost one and has not been checked since.
    bool replacing = false;
    std::array<std::uint32_t, static_cast<int>(Sound::Count)> buffers{};
    std::array<std::uint32_t, voiceCount> voices{};
    int nextSteal = 0;
    std::uint32_t rainSource = 0;
    std::unique_ptr<MusicStream> music;

    // What the last frame left, to hear changes by.
    bool started = false;
    bool wasOver = false;
    float lastWingDirection = 1.0f;
    float playTime = 0.0f;
    float rainLevel = 0.0f;
    float duck = 1.0f;
    float tickBudget = 0.0f;
};
