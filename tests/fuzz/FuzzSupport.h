#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// What the fuzz targets share: quiet output, a scratch folder, an OpenGL context, and a check
// that stops the run on a broken promise so the fuzzer keeps the input.
namespace fuzzkit {

// Sends the game's own messages (standard output) to /dev/null; the fuzzer reports on stderr.
void silenceOutput();

// A fresh folder of this process under the system's temporary folder, removed at exit.
const std::string& scratchFolder();

// Writes bytes to a file, replacing it.
void writeFile(const std::string& path, std::string_view bytes);

// A hidden window with an OpenGL 4.3 core context, current for the rest of the run (needs a display).
void openGlContext();

// Stops the run with the message when the condition does not hold.
void require(bool condition, const char* what);

} // namespace fuzzkit
