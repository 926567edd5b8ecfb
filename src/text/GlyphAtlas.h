#pragma once

#include <glm/glm.hpp>

#include <cstdint>
#include <optional>
#include <vector>

// One single-channel texture holding every glyph the text has needed, so a whole page of text
// and panels is one draw. Glyphs sit on shelves at places a multiple of 8 texels apart, each
// with an empty gutter of 8 texels after it: the three smaller mip levels, which keep the
// strokes of small text whole, never mix two glyphs. A solid block in the first corner gives
// the panels their colour at full coverage.
class GlyphAtlas {
public:
    // The full size and three halvings; a cell's place and size are multiples of 8 texels.
    static constexpr int mipLevels = 4;
    static constexpr int cellAlign = 1 << (mipLevels - 1);

    // The texture goes with release() or the next create(), while the context is current; a
    // destructor cannot know that it still is.
    GlyphAtlas() = default;
    GlyphAtlas(const GlyphAtlas&) = delete;
    GlyphAtlas& operator=(const GlyphAtlas&) = delete;

    // A texture `side` texels square, empty at every level but for the solid block (needs a
    // GL context); any texture made before goes.
    void create(int side);
    void release();
    // Where a bitmap of that size goes (its first texel), or nothing when no room is left.
    // Needs no GL context: the places alone are worked out here.
    std::optional<glm::ivec2> place(glm::ivec2 size);
    // Copies a bitmap (rows of `pitch` bytes, first row on top) to its place at every level.
    void upload(glm::ivec2 at, glm::ivec2 size, const std::uint8_t* pixels, int pitch);

    // The solid block's middle, in texels.
    glm::vec2 solidTexel() const;
    int side() const { return edge; }
    std::uint32_t texture = 0;

private:
    // Every place free again, the solid block kept.
    void resetPlaces();

    int edge = 0;
    int shelfX = 0;
    int shelfY = 0;
    int shelfHeight = 0;
    // A bitmap widened to whole cells, and its halvings: kept so a new glyph allocates nothing.
    std::vector<std::uint8_t> scratch;
    std::vector<std::uint8_t> halved;
};
