#include "text/GlyphAtlas.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cstring>

namespace {

// Texels across the solid block: at the smallest level it is still 2 x 2 solid texels.
constexpr int solidSide = 2 * GlyphAtlas::cellAlign;

int wholeCells(int texels)
{
    return (texels + GlyphAtlas::cellAlign - 1) / GlyphAtlas::cellAlign * GlyphAtlas::cellAlign;
}

// Each texel of the next level is the mean of the 2 x 2 texels it covers (sizes are even).
void halve(const std::vector<std::uint8_t>& from, glm::ivec2 size, std::vector<std::uint8_t>& to)
{
    const glm::ivec2 half = size / 2;
    to.resize(static_cast<std::size_t>(half.x * half.y));
    for (int y = 0; y < half.y; ++y)
        for (int x = 0; x < half.x; ++x) {
            const std::size_t top = static_cast<std::size_t>(2 * y * size.x + 2 * x);
            const std::size_t below = top + static_cast<std::size_t>(size.x);
            const int sum = from[top] + from[top + 1] + from[below] + from[below + 1];
            to[static_cast<std::size_t>(y * half.x + x)] = static_cast<std::uint8_t>((sum + 2) / 4);
        }
}

} // namespace

void GlyphAtlas::release()
{
    if (texture != 0)
        glDeleteTextures(1, &texture);
    texture = 0;
}

void GlyphAtlas::create(int side)
{
    release();
    edge = side;
    resetPlaces();
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    const std::vector<std::uint8_t> empty(static_cast<std::size_t>(side) * static_cast<std::size_t>(side), 0);
    for (int level = 0; level < mipLevels; ++level)
        glTexImage2D(GL_TEXTURE_2D, level, GL_R8, side >> level, side >> level, 0, GL_RED, GL_UNSIGNED_BYTE,
                     empty.data());
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, mipLevels - 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);

    const std::vector<std::uint8_t> solid(solidSide * solidSide, 255);
    upload(glm::ivec2(0), glm::ivec2(solidSide), solid.data(), solidSide);
    glBindTexture(GL_TEXTURE_2D, 0);
}

void GlyphAtlas::resetPlaces()
{
    shelfX = solidSide + cellAlign;
    shelfY = 0;
    shelfHeight = solidSide + cellAlign;
}

std::optional<glm::ivec2> GlyphAtlas::place(glm::ivec2 size)
{
    const glm::ivec2 cell(wholeCells(size.x) + cellAlign, wholeCells(size.y) + cellAlign);
    if (shelfX + cell.x > edge) {
        shelfY += shelfHeight;
        shelfX = 0;
        shelfHeight = 0;
    }
    if (cell.x > edge || shelfY + cell.y > edge)
        return std::nullopt;
    const glm::ivec2 at(shelfX, shelfY);
    shelfX += cell.x;
    shelfHeight = std::max(shelfHeight, cell.y);
    return at;
}

void GlyphAtlas::upload(glm::ivec2 at, glm::ivec2 size, const std::uint8_t* pixels, int pitch)
{
    if (texture == 0 || size.x <= 0 || size.y <= 0)
        return;
    // The bitmap in whole cells, zeros around it: every level is then whole texels of this glyph.
    glm::ivec2 block(wholeCells(size.x), wholeCells(size.y));
    scratch.assign(static_cast<std::size_t>(block.x * block.y), 0);
    for (int row = 0; row < size.y; ++row)
        std::memcpy(&scratch[static_cast<std::size_t>(row * block.x)], pixels + static_cast<std::ptrdiff_t>(row) * pitch,
                    static_cast<std::size_t>(size.x));

    glBindTexture(GL_TEXTURE_2D, texture);
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (int level = 0; level < mipLevels; ++level) {
        if (level > 0) {
            halve(scratch, block, halved);
            scratch.swap(halved);
            block /= 2;
        }
        glTexSubImage2D(GL_TEXTURE_2D, level, at.x >> level, at.y >> level, block.x, block.y, GL_RED,
                        GL_UNSIGNED_BYTE, scratch.data());
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
}

glm::vec2 GlyphAtlas::solidTexel() const
{
    return glm::vec2(static_cast<float>(solidSide) * 0.5f);
}
