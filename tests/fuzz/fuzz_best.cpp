// The best-runs reader on any text: it refuses or accepts, never crashes, and what it accepts
// is a table in order, of at most ten runs, that writes back to a file that reads again.
#include "FuzzSupport.h"

#include "files/BestResults.h"

#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzkit::silenceOutput();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto runs = parseBestRuns(std::string(reinterpret_cast<const char*>(data), size));
    if (!runs)
        return 0;
    fuzzkit::require(runs->size() <= BestResults::capacity, "at most ten runs");
    for (std::size_t i = 1; i < runs->size(); ++i)
        fuzzkit::require(!ranksAbove((*runs)[i], (*runs)[i - 1]), "best first");
    const auto again = parseBestRuns(formatBestRuns(*runs));
    fuzzkit::require(again && again->size() == runs->size(), "a table written from an accepted one reads again");
    return 0;
}
