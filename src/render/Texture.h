#pragma once

#include <cstdint>
#include <string>

// Decodes an image file (flipped so its bottom row sits at t = 0) into a new mipmapped 2D
// texture and leaves it bound. On failure prints a message and still returns the new
// texture name, which then holds no image.
std::uint32_t loadTexture(std::string path);
