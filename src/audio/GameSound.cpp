#include "audio/GameSound.h"
#include "audio/SoundFile.h"
#include "files/Config.h"
#include "files/Files.h"
#include "files/Translation.h"
#include "input/GameInput.h"
#include "physics/Player.h"
#include "run/GameRules.h"
#include "run/Run.h"
#include "scene/Camera.h"
#include "world/ParticleSystem.h"
#include "world/SegmentManager.h"

#include <AL/al.h>

#include <algorithm>

namespace {

struct SoundSpec {
    const char* name;
    float gain;
};

// File and loudness of each sound, in the order of Sound.
constexpr SoundSpec specs[] = {
    {"chime", 0.9f}, {"flap", 0.35f}, {"splash", 0.8f},  {"hurt", 0.7f}, {"thud", 1.0f},
    {"tick", 0.3f},  {"rain", 0.5f},  {"levelup", 0.8f}, {"died", 0.9f}, {"outoftime", 0.9f},
};
static_assert(std::size(specs) == static_cast<std::size_t>(Sound::Count));

// Sounds in the world are at full loudness up to this distance (the camera's default distance
// behind the creature is 10) and fade with the inverse of the distance beyond it.
constexpr float referenceDistance = 8.0f;
constexpr float maxDistance = 150.0f;
// The rain heard is the rain falling within this distance of the creature (across the floor);
// this many drops make the full shower.
constexpr float rainRadius = 40.0f;
constexpr float fullShowerDrops = 8.0f;
// Drops landing this close tick; at most this many ticks a second, so a shower stays a hiss.
constexpr float tickRadius = 25.0f;
constexpr float ticksPerSecond = 6.0f;
constexpr float tickBurst = 2.0f;
// Seconds for the rain to fade in at the start, and for its level and the ducking to follow.
constexpr float rainFadeIn = 1.0f;
constexpr float rainSmoothing = 1.0f;
constexpr float duckSmoothing = 0.4f;
// Rain and music while the game is over.
constexpr float duckedGain = 0.2f;

float specGain(Sound sound)
{
    return specs[static_cast<int>(sound)].gain;
}

float towards(float value, float target, float dt, float seconds)
{
    return value + (target - value) * std::min(1.0f, dt / seconds);
}

} // namespace

GameSound::GameSound(std::unique_ptr<AudioDevice> audioDevice, DeviceOpener reopenDevice)
    : device(std::move(audioDevice))
    , reopen(reopenDevice ? std::move(reopenDevice) : [] { return AudioDevice::findPlayback(); })
{
    acquire(0);
}

GameSound::~GameSound()
{
    if (device)
        release();
}

void GameSound::acquire(std::int64_t musicFrom)
{
    alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
    for (std::size_t i = 0; i < buffers.size(); ++i)
        buffers[i] = loadSoundBuffer(assetPath(std::string("sounds/") + specs[i].name + ".ogg"));

    alGenSources(voiceCount, voices.data());
    for (std::uint32_t voice : voices) {
        alSourcef(voice, AL_REFERENCE_DISTANCE, referenceDistance);
        alSourcef(voice, AL_MAX_DISTANCE, maxDistance);
    }
    nextSteal = 0;

    alGenSources(1, &rainSource);
    alSourcei(rainSource, AL_SOURCE_RELATIVE, AL_TRUE);
    alSourcef(rainSource, AL_ROLLOFF_FACTOR, 0.0f);
    alSourcei(rainSource, AL_LOOPING, AL_TRUE);
    alSourcef(rainSource, AL_GAIN, 0.0f);
    if (const std::uint32_t rain = buffers[static_cast<int>(Sound::Rain)]) {
        alSourcei(rainSource, AL_BUFFER, static_cast<ALint>(rain));
        alSourcePlay(rainSource);
    }

    music = std::make_unique<MusicStream>(assetPath("sounds/music.ogg"), music_volume * duck, musicFrom);
}

void GameSound::release()
{
    music.reset();
    alSourceStopv(voiceCount, voices.data());
    alSourceStop(rainSource);
    alDeleteSources(voiceCount, voices.data());
    alDeleteSources(1, &rainSource);
    for (std::uint32_t& buffer : buffers) {
        if (buffer)
            alDeleteBuffers(1, &buffer);
        buffer = 0;
    }
    voices = {};
    rainSource = 0;
}

void GameSound::watchDevice(float dt)
{
    if (!device)
        return;
    sinceCheck += dt;
    if (sinceCheck < connectionCheckInterval)
        return;
    sinceCheck = 0.0f;
    const bool replacement = replacing;
    replacing = false;
    if (device->connected())
        return;
    // Nothing made on the lost device plays anywhere else: the sounds are loaded again and the
    // music goes on where it was, on the next device. A device that took over and was lost
    // again before its first check is not working at all: it is not asked again and again.
    const std::int64_t musicAt = music->position();
    release();
    device.reset();
    if (!replacement)
        device = reopen();
    if (device) {
        replacing = true;
        acquire(musicAt);
        logMessage(_("Sound: the audio device was lost; playing on the default device"));
    } else {
        logMessage(_("Sound: the audio device was lost; playing silently"));
    }
}

std::unique_ptr<GameSound> GameSound::start()
{
    auto device = AudioDevice::openPlayback();
    if (!device)
        return nullptr;
    return std::make_unique<GameSound>(std::move(device));
}

void GameSound::play(Sound sound, glm::vec3 position, bool positional, bool steal)
{
    const std::uint32_t buffer = buffers[static_cast<int>(sound)];
    if (!buffer)
        return; // its file failed to load: this sound stays silent
    std::uint32_t voice = 0;
    for (std::uint32_t candidate : voices) {
        ALint state = 0;
        alGetSourcei(candidate, AL_SOURCE_STATE, &state);
        if (state != AL_PLAYING) {
            voice = candidate;
            break;
        }
    }
    if (!voice) {
        if (!steal)
            return;
        voice = voices[static_cast<std::size_t>(nextSteal)];
        nextSteal = (nextSteal + 1) % voiceCount;
        alSourceStop(voice);
    }
    alSourcei(voice, AL_BUFFER, static_cast<ALint>(buffer));
    alSourcei(voice, AL_SOURCE_RELATIVE, positional ? AL_FALSE : AL_TRUE);
    alSourcef(voice, AL_ROLLOFF_FACTOR, positional ? 1.0f : 0.0f);
    const glm::vec3 at = positional ? position : glm::vec3(0.0f);
    alSource3f(voice, AL_POSITION, at.x, at.y, at.z);
    alSourcef(voice, AL_GAIN, specGain(sound) * sound_volume);
    alSourcePlay(voice);
}

void GameSound::update(float frameTime, const Run* run, bool paused)
{
    const float dt = std::max(frameTime, 0.0f);
    watchDevice(dt);
    if (!device)
        return; // lost, and no other device to play on
    alListenerf(AL_GAIN, run && run->input->muted ? 0.0f : 1.0f);

    if (run) {
        const GameCamera& camera = *run->player->camera;
        const glm::vec3 eye = run->player->camera->getPosition();
        const float orientation[] = {camera.front.x, camera.front.y, camera.front.z,
                                     camera.up.x,    camera.up.y,    camera.up.z};
        alListener3f(AL_POSITION, eye.x, eye.y, eye.z);
        alListenerfv(AL_ORIENTATION, orientation);

        for (const SoundEvent& event : run->soundEvents) {
            switch (event.cue) {
            case SoundCue::Pollen:
                play(Sound::Chime, event.position, true);
                break;
            case SoundCue::DropHit:
                play(Sound::Splash, event.position, true);
                play(Sound::Hurt, glm::vec3(0.0f), false);
                break;
            case SoundCue::Knockback:
                play(Sound::Thud, event.position, true);
                break;
            }
        }
        hearRules(*run);
        hearRain(*run, dt, paused);
    }

    music->setGain(music_volume * duck);
    music->update();
}

void GameSound::preview()
{
    if (!hasOutput())
        return;
    play(Sound::Chime, glm::vec3(0.0f), false);
}

void GameSound::hearRules(const Run& run)
{
    const Player& player = *run.player;
    if (!started) {
        started = true;
        lastWingDirection = player.wingDirection;
    }
    for (const RuleEvent event : run.ruleEvents) {
        if (event == RuleEvent::Died)
            play(Sound::Died, glm::vec3(0.0f), false);
        else if (event == RuleEvent::OutOfTime)
            play(Sound::OutOfTime, glm::vec3(0.0f), false);
        else if (event == RuleEvent::LevelUp)
            play(Sound::LevelUp, glm::vec3(0.0f), false);
    }
    // The rain and the music fall back while a run is over.
    wasOver = run.runOver;
    // The wings turn from rising to falling: a down-stroke begins.
    if (lastWingDirection > 0.0f && player.wingDirection < 0.0f)
        play(Sound::Flap, run.player->getPosition(), true);

    lastWingDirection = player.wingDirection;
}

void GameSound::hearRain(const Run& run, float dt, bool paused)
{
    if (paused) {
        // The world stands still over the paused screen, and so does its rain.
        alSourcef(rainSource, AL_GAIN, 0.0f);
        return;
    }
    playTime += dt;
    duck = towards(duck, wasOver ? duckedGain : 1.0f, dt, duckSmoothing);
    tickBudget = std::min(tickBurst, tickBudget + dt * ticksPerSecond);

    int nearDrops = 0;
    if (run.segmentManager) {
        const glm::vec3 creature = run.player->getPosition();
        for (const auto& segment : run.segmentManager->segments) {
            if (!segment->rain)
                continue;
            for (const auto& child : segment->rain->getChildren()) {
                auto* drop = dynamic_cast<Raindrop*>(child.get());
                if (!drop)
                    continue;
                const glm::vec3 at = drop->getPosition();
                if (!drop->isDestroyed()) {
                    if (glm::length(glm::vec2(at - creature)) < rainRadius)
                        ++nearDrops;
                } else if (drop->age <= drop->lifetime && tickBudget >= 1.0f &&
                           glm::length(at - creature) < tickRadius) {
                    // Destroyed this frame by the touch report, not by age: it has just landed.
                    // (Drops the creature caught were dropped by their emitter before now.)
                    tickBudget -= 1.0f;
                    play(Sound::Tick, at, true, false);
                }
            }
        }
    }
    rainLevel = towards(rainLevel, std::min(1.0f, static_cast<float>(nearDrops) / fullShowerDrops), dt, rainSmoothing);
    const float fadeIn = std::min(1.0f, playTime / rainFadeIn);
    alSourcef(rainSource, AL_GAIN, specGain(Sound::Rain) * sound_volume * rainLevel * fadeIn * duck);
}
