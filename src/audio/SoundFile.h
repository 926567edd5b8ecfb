#pragma once

#include <cstdint>
#include <string>

// Reads a whole sound file (Ogg Vorbis, or anything libsndfile reads) into a new OpenAL buffer,
// mono or stereo 16-bit. A missing, damaged or empty file says "ERROR - failed to load sound: "
// and the path, and gives 0: the sound is silent and the game plays on.
std::uint32_t loadSoundBuffer(const std::string& path);
