#pragma once

#include <cstdint>
#include <string>

// Decodes an image file (flipped so its bottom row sits at t = 0) into a new mipmapped 2D
// texture and leaves it bound. On failure prints a message and still returns the new
// texture name, which then holds no image.
std::uint32_t loadTexture(std::string path);

// A texture a model names, loaded from the model's folder. A name that could reach outside that
// folder (an absolute path, or any ".." part) is refused with the same message as a file that
// does not load, and gives a texture name without an image.
std::uint32_t loadModelTexture(const std::string& folder, const std::string& name);
