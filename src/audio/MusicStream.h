#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

typedef struct sf_private_tag SNDFILE;

// A tune played from its file a little at a time, never decoded whole: a few buffers queued
// on one source, each refilled from the file as the source finishes it. At the end of the file
// the reading carries straight on from the loop point (the start), inside the same buffer,
// so the repeat has neither a gap nor a click.
class MusicStream {
public:
    // Opens the file and starts playing it at the given gain, from the given frame of the tune;
    // a file that cannot be read says "ERROR - failed to load sound: " and the path, and the
    // stream stays silent.
    MusicStream(const std::string& path, float gain, std::int64_t from = 0);
    ~MusicStream();
    MusicStream(const MusicStream&) = delete;
    MusicStream& operator=(const MusicStream&) = delete;

    // Refills the buffers the source has finished; restarts it if it ran dry during a long frame.
    // A source stopped because its device is gone is left alone: nothing would hear it.
    void update();
    void setGain(float gain);

    bool isOpen() const { return file != nullptr; }
    // Frames in one pass of the tune (the loop length).
    std::int64_t length() const { return frames; }
    int rate() const { return sampleRate; }
    // The frame of the tune the next chunk is read from.
    std::int64_t position() const;

    // About 0.09 s at 44.1 kHz: six of them ride out a frame of more than half a second, and
    // each refill decodes little enough not to stand out in the frame that does it.
    static constexpr int chunkFrames = 4096;
    static constexpr int bufferCount = 6;

private:
    // Reads the next chunk (wrapping at the end of the file) into buffer and queues it.
    bool queue(std::uint32_t buffer);

    SNDFILE* file = nullptr;
    int channels = 0;
    int sampleRate = 0;
    std::int64_t frames = 0;
    std::uint32_t source = 0;
    std::array<std::uint32_t, bufferCount> buffers{};
    std::vector<short> chunk;
};
