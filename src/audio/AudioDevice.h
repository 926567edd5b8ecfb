#pragma once

#include <AL/alc.h>

#include <memory>
#include <string>

// The OpenAL output the game plays through, with its one context made current. Either the
// system's playback device, or a loopback device that mixes into memory on request (OpenAL
// Soft's ALC_SOFT_loopback), which is how tests hear exactly what a player would.
class AudioDevice {
public:
    ~AudioDevice();
    AudioDevice(const AudioDevice&) = delete;
    AudioDevice& operator=(const AudioDevice&) = delete;

    // The named playback device (empty: the system's default). When there is none, says
    // "Sound: no audio device, playing silently" and gives null: the game plays on without sound.
    static std::unique_ptr<AudioDevice> openPlayback(const std::string& name = "");
    // The same, without a word when there is none: for trying again after a device was lost.
    static std::unique_ptr<AudioDevice> findPlayback(const std::string& name = "");
    // A stereo, 32-bit float device mixing at the given rate only when render is called;
    // null when the OpenAL library has no loopback support.
    static std::unique_ptr<AudioDevice> openLoopback(int rate);

    // Loopback only: mixes the next frames (interleaved left, right) of everything playing.
    void render(float* stereo, int frames);

    // False once the device has gone away (a USB headset unplugged, the sound server stopped):
    // OpenAL stops everything on it for good, and only another device plays again.
    bool connected() const;
    // The same of the device whose context is current (true when none is).
    static bool currentConnected();

    bool isLoopback() const { return loopback; }
    int rate() const { return sampleRate; }

private:
    AudioDevice(ALCdevice* device, ALCcontext* context, bool loopback, int rate);

    ALCdevice* device = nullptr;
    ALCcontext* context = nullptr;
    bool loopback = false;
    int sampleRate = 0;
};
