#include "audio/AudioDevice.h"

#include "files/Files.h"
#include "files/Translation.h"

#include <AL/al.h>
#include <AL/alext.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace {

LPALCRENDERSAMPLESSOFT renderSamples = nullptr;

// While alive, standard error goes nowhere. Without a sound server, the sound libraries try
// every way to a sound card and complain about each on standard error; the game says it once.
class QuietStandardError {
public:
    QuietStandardError()
    {
        std::fflush(stderr);
        saved = dup(STDERR_FILENO);
        const int nowhere = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (saved >= 0 && nowhere >= 0)
            dup2(nowhere, STDERR_FILENO);
        if (nowhere >= 0)
            close(nowhere);
    }
    ~QuietStandardError()
    {
        std::fflush(stderr);
        if (saved >= 0) {
            dup2(saved, STDERR_FILENO);
            close(saved);
        }
    }
    QuietStandardError(const QuietStandardError&) = delete;
    QuietStandardError& operator=(const QuietStandardError&) = delete;

private:
    int saved = -1;
};

bool stillConnected(ALCdevice* device)
{
    // ALC_EXT_disconnect: OpenAL Soft has it on every device; without it the value stays true.
    ALCint connected = ALC_TRUE;
    alcGetIntegerv(device, ALC_CONNECTED, 1, &connected);
    return connected != ALC_FALSE;
}

} // namespace

AudioDevice::AudioDevice(ALCdevice* device, ALCcontext* context, bool loopback, int rate)
    : device(device)
    , context(context)
    , loopback(loopback)
    , sampleRate(rate)
{
}

AudioDevice::~AudioDevice()
{
    if (alcGetCurrentContext() == context)
        alcMakeContextCurrent(nullptr);
    alcDestroyContext(context);
    alcCloseDevice(device);
}

std::unique_ptr<AudioDevice> AudioDevice::openPlayback(const std::string& name)
{
    auto found = findPlayback(name);
    // Tried once at start-up: a machine without sound stays silent, it is not asked again.
    if (!found)
        logMessage(_("Sound: no audio device, playing silently"));
    return found;
}

std::unique_ptr<AudioDevice> AudioDevice::findPlayback(const std::string& name)
{
    ALCdevice* device = nullptr;
    {
        const QuietStandardError quiet;
        device = alcOpenDevice(name.empty() ? nullptr : name.c_str());
    }
    ALCcontext* context = device ? alcCreateContext(device, nullptr) : nullptr;
    if (!context || !alcMakeContextCurrent(context)) {
        if (context)
            alcDestroyContext(context);
        if (device)
            alcCloseDevice(device);
        return nullptr;
    }
    ALCint rate = 0;
    alcGetIntegerv(device, ALC_FREQUENCY, 1, &rate);
    return std::unique_ptr<AudioDevice>(new AudioDevice(device, context, false, rate));
}

std::unique_ptr<AudioDevice> AudioDevice::openLoopback(int rate)
{
    if (!alcIsExtensionPresent(nullptr, "ALC_SOFT_loopback"))
        return nullptr;
    auto openLoopbackDevice =
        reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
    renderSamples = reinterpret_cast<LPALCRENDERSAMPLESSOFT>(alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
    if (!openLoopbackDevice || !renderSamples)
        return nullptr;
    ALCdevice* device = openLoopbackDevice(nullptr);
    if (!device)
        return nullptr;
    // Plain stereo panning, no head-related filtering: left is left, as on a pair of speakers.
    const ALCint attributes[] = {ALC_FORMAT_CHANNELS_SOFT, ALC_STEREO_SOFT, ALC_FORMAT_TYPE_SOFT, ALC_FLOAT_SOFT,
                                 ALC_FREQUENCY, rate, ALC_HRTF_SOFT, ALC_FALSE, 0};
    ALCcontext* context = alcCreateContext(device, attributes);
    if (!context || !alcMakeContextCurrent(context)) {
        if (context)
            alcDestroyContext(context);
        alcCloseDevice(device);
        return nullptr;
    }
    return std::unique_ptr<AudioDevice>(new AudioDevice(device, context, true, rate));
}

bool AudioDevice::connected() const
{
    return stillConnected(device);
}

bool AudioDevice::currentConnected()
{
    ALCcontext* current = alcGetCurrentContext();
    return !current || stillConnected(alcGetContextsDevice(current));
}

void AudioDevice::render(float* stereo, int frames)
{
    if (loopback && frames > 0)
        renderSamples(device, stereo, frames);
}
