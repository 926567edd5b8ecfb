// The configuration file's line rules on any text.
#include "FuzzSupport.h"

#include "files/Config.h"

#include <cmath>
#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzkit::silenceOutput();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    resetSettings();
    applyConfig(std::string(reinterpret_cast<const char*>(data), size));
    // Sizes and rates are truncated to integers where they are used: a setting must stay a number.
    for (const Setting& setting : settings())
        fuzzkit::require(std::isfinite(*setting.value), setting.key);
    return 0;
}
