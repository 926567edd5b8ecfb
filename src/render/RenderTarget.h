#pragma once

#include <cstdint>

// How one image of an off-screen target is stored and read back.
struct TargetImage {
    std::uint32_t internalFormat;
    std::uint32_t format;
    std::uint32_t type;
    // The attachment point of the framebuffer it is drawn through.
    std::uint32_t attachment;
    // Minification and magnification alike.
    std::uint32_t filter;
    // Both directions; 0 keeps OpenGL's default.
    std::uint32_t wrap = 0;
};

// A new framebuffer, bound to GL_FRAMEBUFFER for its attachments.
std::uint32_t createFramebuffer();
// A new texture of the given size made as the image says and attached to the bound framebuffer.
// It is left bound to GL_TEXTURE_2D on texture unit 0, for any parameters of the caller's own.
std::uint32_t attachNewTexture(const TargetImage& image, int width, int height);
// Whether the bound framebuffer can be drawn into.
bool framebufferComplete();
// Deletes the framebuffer or texture, if any, and forgets its name.
void deleteFramebuffer(std::uint32_t& framebuffer);
void deleteTexture(std::uint32_t& texture);
