#include "audio/MusicStream.h"

#include "audio/AudioDevice.h"
#include "files/Files.h"

#include <AL/al.h>
#include <sndfile.h>

MusicStream::MusicStream(const std::string& path, float gain, std::int64_t from)
{
    SF_INFO info{};
    file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file || (info.channels != 1 && info.channels != 2) || info.frames <= 0 || info.samplerate <= 0) {
        if (file)
            sf_close(file);
        file = nullptr;
        logMessage("ERROR - failed to load sound: " + path);
        return;
    }
    channels = info.channels;
    sampleRate = info.samplerate;
    frames = info.frames;
    chunk.resize(static_cast<std::size_t>(chunkFrames) * static_cast<std::size_t>(channels));
    if (from > 0)
        sf_seek(file, from % frames, SEEK_SET);

    alGenSources(1, &source);
    // Music is not in the world: it plays at the listener, whatever the camera does.
    alSourcei(source, AL_SOURCE_RELATIVE, AL_TRUE);
    alSource3f(source, AL_POSITION, 0.0f, 0.0f, 0.0f);
    alSourcef(source, AL_ROLLOFF_FACTOR, 0.0f);
    alSourcef(source, AL_GAIN, gain);
    alGenBuffers(bufferCount, buffers.data());
    for (std::uint32_t buffer : buffers)
        if (!queue(buffer))
            break;
    alSourcePlay(source);
}

MusicStream::~MusicStream()
{
    if (source) {
        alSourceStop(source);
        alSourcei(source, AL_BUFFER, 0);
        alDeleteSources(1, &source);
        alDeleteBuffers(bufferCount, buffers.data());
    }
    if (file)
        sf_close(file);
}

bool MusicStream::queue(std::uint32_t buffer)
{
    sf_count_t filled = 0;
    // Twice round at most: a file that reads nothing from its start is damaged, not short.
    for (int wraps = 0; filled < chunkFrames && wraps < 2;) {
        const sf_count_t got = sf_readf_short(file, chunk.data() + filled * channels, chunkFrames - filled);
        filled += got;
        if (filled < chunkFrames) {
            sf_seek(file, 0, SEEK_SET);
            wraps = got > 0 ? 0 : wraps + 1;
        }
    }
    if (filled == 0)
        return false;
    alBufferData(buffer, channels == 2 ? AL_FORMAT_STEREO16 : AL_FORMAT_MONO16, chunk.data(),
                 static_cast<ALsizei>(filled * channels * static_cast<sf_count_t>(sizeof(short))), sampleRate);
    alSourceQueueBuffers(source, 1, &buffer);
    return true;
}

void MusicStream::update()
{
    if (!file)
        return;
    // A stopped source counts every queued buffer as finished: on a device that is gone it
    // would be refilled, and the tune decoded, every frame for nothing.
    ALint state = 0;
    alGetSourcei(source, AL_SOURCE_STATE, &state);
    if (state != AL_PLAYING && !AudioDevice::currentConnected())
        return;
    ALint processed = 0;
    alGetSourcei(source, AL_BUFFERS_PROCESSED, &processed);
    while (processed-- > 0) {
        ALuint buffer = 0;
        alSourceUnqueueBuffers(source, 1, &buffer);
        queue(buffer);
    }
    alGetSourcei(source, AL_SOURCE_STATE, &state);
    if (state != AL_PLAYING)
        alSourcePlay(source);
}

std::int64_t MusicStream::position() const
{
    return file ? sf_seek(file, 0, SEEK_CUR) : 0;
}

void MusicStream::setGain(float gain)
{
    if (source)
        alSourcef(source, AL_GAIN, gain);
}
