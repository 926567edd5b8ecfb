// The replay reader on any bytes: it refuses or accepts, never crashes, and what it accepts
// walks to its end and writes back to a file that reads the same.
#include "FuzzSupport.h"

#include "files/Replay.h"

#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzkit::silenceOutput();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string error;
    const auto replay = parseReplay(std::string_view(reinterpret_cast<const char*>(data), size), error);
    if (!replay) {
        fuzzkit::require(!error.empty(), "a refused file says why");
        return 0;
    }

    std::vector<ReplayFrame> frames;
    ReplayCursor cursor(*replay);
    while (auto frame = cursor.next(&error))
        frames.push_back(*frame);
    fuzzkit::require(frames.size() == replay->header.frameCount, "every frame of an accepted file can be played");

    std::string body;
    ReplayEncoder encoder(replay->header.settings, *Controls::fromCodes(replay->header.bindings));
    for (const ReplayFrame& frame : frames)
        encoder.append(frame, body);
    const auto again = parseReplay(writeReplay(replay->header, body), error);
    fuzzkit::require(again.has_value(), "a file written from an accepted one is accepted");
    ReplayCursor second(*again);
    for (const ReplayFrame& frame : frames) {
        const auto copy = second.next(&error);
        fuzzkit::require(copy && *copy == frame, "the frames read back the same");
    }
    return 0;
}
