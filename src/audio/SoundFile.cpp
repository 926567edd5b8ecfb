#include "audio/SoundFile.h"

#include "files/Files.h"

#include <AL/al.h>
#include <sndfile.h>

#include <vector>

std::uint32_t loadSoundBuffer(const std::string& path)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    std::vector<short> samples;
    bool good = file && (info.channels == 1 || info.channels == 2) && info.frames > 0 && info.samplerate > 0;
    if (good) {
        samples.resize(static_cast<std::size_t>(info.frames) * static_cast<std::size_t>(info.channels));
        const sf_count_t read = sf_readf_short(file, samples.data(), info.frames);
        // A file cut short reads fewer frames than its header promised.
        good = read == info.frames;
    }
    if (file)
        sf_close(file);

    ALuint buffer = 0;
    if (good) {
        alGetError();
        alGenBuffers(1, &buffer);
        alBufferData(buffer, info.channels == 2 ? AL_FORMAT_STEREO16 : AL_FORMAT_MONO16, samples.data(),
                     static_cast<ALsizei>(samples.size() * sizeof(short)), info.samplerate);
        good = alGetError() == AL_NO_ERROR;
        if (!good && alIsBuffer(buffer)) {
            alDeleteBuffers(1, &buffer);
            buffer = 0;
        }
    }
    if (!good) {
        logMessage("ERROR - failed to load sound: " + path);
        return 0;
    }
    return buffer;
}
