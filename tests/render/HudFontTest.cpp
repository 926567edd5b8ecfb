#include "RenderFixture.h"

#include "text/GlyphAtlas.h"
#include "text/TextRenderer.h"
#include "text/Utf8.h"
#include "ui/HUD.h"

#include <epoxy/gl.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

// The HUD's font as the game ships it, and the HUD with and without it.

namespace {

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

constexpr int glyphPixels = 48;
// Level above which a channel of a read-back pixel counts as text drawn on black.
constexpr unsigned char textLevel = 128;

TEST(HudFont, HasARealGlyphForEveryPrintableCharacterAtTheHudSize)
{
    const std::filesystem::path font = testkit::repositoryAssets() / "fonts" / "OratorStd.otf";
    ASSERT_TRUE(std::filesystem::exists(font)) << font << " is put in place when the build is configured";

    FT_Library library = nullptr;
    ASSERT_EQ(FT_Init_FreeType(&library), 0);
    FT_Face face = nullptr;
    ASSERT_EQ(FT_New_Face(library, font.string().c_str(), 0, &face), 0) << font;
    ASSERT_EQ(FT_Set_Pixel_Sizes(face, 0, glyphPixels), 0);

    for (FT_ULong c = 33; c <= 126; ++c) {
        // A character the font lacks would render its "missing" box: not empty, but wrong.
        EXPECT_NE(FT_Get_Char_Index(face, c), 0u) << "character " << char(c);
        ASSERT_EQ(FT_Load_Char(face, c, FT_LOAD_RENDER), 0) << "character " << char(c);
        EXPECT_GT(face->glyph->bitmap.width, 0u) << "character " << char(c);
        EXPECT_GT(face->glyph->bitmap.rows, 0u) << "character " << char(c);
        EXPECT_LE(face->glyph->bitmap.rows, static_cast<unsigned>(2 * glyphPixels)) << "character " << char(c);
        EXPECT_GT(face->glyph->advance.x, 0) << "character " << char(c);
    }
    // The blank draws nothing but still moves the pen, or the HUD's words would run together.
    ASSERT_EQ(FT_Load_Char(face, ' ', FT_LOAD_RENDER), 0);
    EXPECT_GT(face->glyph->advance.x >> 6, 0);

    // Every letter a shipped translation uses is in the font: none is drawn as the replacement.
    for (const auto& file : std::filesystem::directory_iterator(testkit::repositoryAssets().parent_path() / "po")) {
        if (file.path().extension() != ".po")
            continue;
        std::ifstream in(file.path());
        std::set<char32_t> used;
        for (std::string line; std::getline(in, line);)
            if (!line.starts_with("#"))
                for (char32_t c : decodeUtf8(line))
                    used.insert(c);
        ASSERT_GT(used.size(), 40u) << file.path();
        for (char32_t c : used)
            EXPECT_NE(FT_Get_Char_Index(face, c), 0u)
                << file.path().filename() << " uses U+" << std::hex << static_cast<unsigned>(c);
    }

    FT_Done_Face(face);
    FT_Done_FreeType(library);
}

class HudFontTest : public rendertest::RenderTest {
protected:
    // The HUD drawn over a black window, read back as RGB.
    std::vector<unsigned char> renderOverBlack(HUD& hud)
    {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glViewport(0, 0, width, height);
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        hud.render();
        std::vector<unsigned char> pixels(static_cast<std::size_t>(width * height * 3));
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }

    // Pixels with any bright channel in the rows from y0 up to y1 (from the bottom of the window).
    int brightPixels(const std::vector<unsigned char>& pixels, int y0, int y1) const
    {
        int bright = 0;
        for (int y = std::max(y0, 0); y < std::min(y1, height); ++y)
            for (int x = 0; x < width; ++x) {
                const unsigned char* p = &pixels[static_cast<std::size_t>((y * width + x) * 3)];
                bright += (p[0] > textLevel || p[1] > textLevel || p[2] > textLevel) ? 1 : 0;
            }
        return bright;
    }
};

TEST_F(HudFontTest, EveryCodeUpTo127HasAGlyphAndTheStatusLinesShow)
{
    HUD hud;
    CaptureStdout();
    hud.initialize();
    EXPECT_EQ(GetCapturedStdout(), "");

    ASSERT_EQ(hud.text->characters.size(), 128u);
    EXPECT_EQ(hud.text->characters.begin()->first, 0);
    EXPECT_EQ(hud.text->characters.rbegin()->first, 127);
    for (char c = 33; c <= 126; ++c) {
        const Character& glyph = hud.text->characters.at(c);
        EXPECT_GE(glyph.atlasPlace.x, 0) << c << " is in the atlas";
        EXPECT_GT(glyph.size.x, 0) << c;
        EXPECT_GT(glyph.advance, 0u) << c;
    }

    // Health near the top, the level near the bottom, both in white.
    hud.healthPercent = 100.0f;
    const auto pixels = renderOverBlack(hud);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_GT(brightPixels(pixels, height - height / 8, height), 0) << "the health line";
    EXPECT_GT(brightPixels(pixels, 0, height / 8), 0) << "the level line";
}

TEST_F(HudFontTest, LettersBeyondAsciiGetGlyphsAndOnesTheFontLacksShowAsTheReplacement)
{
    HUD hud;
    hud.initialize();
    TextRenderer& text = *hud.text;
    const Character* cyrillic = text.glyph(U'Ж');
    const Character* accented = text.glyph(U'É');
    ASSERT_TRUE(cyrillic && accented);
    EXPECT_GE(cyrillic->atlasPlace.x, 0);
    EXPECT_NE(cyrillic->atlasPlace, accented->atlasPlace);

    // FreeSans has no CJK: such a character is drawn as U+FFFD, said once, never skipped.
    CaptureStdout();
    const Character* missing = text.glyph(U'\u4E00');
    text.glyph(U'\u4E00');
    EXPECT_EQ(GetCapturedStdout(), "Font: no glyph for U+4E00, drawn as a replacement\n");
    ASSERT_NE(missing, nullptr);
    EXPECT_EQ(missing->atlasPlace, text.glyph(0xFFFD)->atlasPlace);
    EXPECT_GT(missing->size.x, 0);
    // Two bytes that are no UTF-8 take the replacement's room, as one character each.
    EXPECT_FLOAT_EQ(text.width("A\xE4\xB8\x80\xFF", 1.0f), text.width("A\xEF\xBF\xBD\xEF\xBF\xBD", 1.0f));

    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, width, height);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    text.begin();
    text.draw("\xE4\xB8\x80", 20.0f, 20.0f, 1.0f, glm::vec3(1.0f));
    text.end();
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width * height * 3));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    EXPECT_GT(brightPixels(pixels, 0, 80), 50) << "the replacement is visible";
}

TEST_F(HudFontTest, WithoutTheFontTheHudSaysSoAndDrawsNothing)
{
    ASSERT_TRUE(std::filesystem::remove(sandbox.assets() / "fonts" / "OratorStd.otf"));
    HUD hud;
    CaptureStdout();
    hud.initialize();
    EXPECT_EQ(GetCapturedStdout(), "ERROR::FREETYPE: Failed to load font\n");
    EXPECT_TRUE(hud.text->characters.empty());

    hud.died = true;
    hud.levelBannerActive = true;
    const auto pixels = renderOverBlack(hud);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_EQ(brightPixels(pixels, 0, height), 0);
}

TEST_F(HudFontTest, AtlasCellsAreWholeBlocksApartAndTheAtlasSaysWhenItIsFull)
{
    // Glyph-like sizes, many of them odd, until no room is left in a small atlas.
    GlyphAtlas atlas;
    atlas.create(256);
    std::vector<std::pair<glm::ivec2, glm::ivec2>> placed;
    for (int i = 0;; ++i) {
        const glm::ivec2 size(5 + (i * 7) % 37, 9 + (i * 11) % 43);
        const std::optional<glm::ivec2> at = atlas.place(size);
        if (!at)
            break;
        placed.emplace_back(*at, size);
        ASSERT_LT(i, 1000) << "a 256-texel atlas never holds a thousand glyphs";
    }
    ASSERT_GT(placed.size(), 10u);
    const auto padded = [](int texels) { return (texels + 7) / 8 * 8 + 8; };
    for (std::size_t a = 0; a < placed.size(); ++a) {
        const auto& [at, size] = placed[a];
        EXPECT_EQ(at.x % GlyphAtlas::cellAlign, 0);
        EXPECT_EQ(at.y % GlyphAtlas::cellAlign, 0);
        EXPECT_LE(at.x + padded(size.x), 256);
        EXPECT_LE(at.y + padded(size.y), 256);
        EXPECT_FALSE(at.x < 24 && at.y < 24) << "clear of the solid block and its gutter";
        for (std::size_t b = a + 1; b < placed.size(); ++b) {
            const auto& [other, otherSize] = placed[b];
            const bool apart = at.x + padded(size.x) <= other.x || other.x + padded(otherSize.x) <= at.x ||
                               at.y + padded(size.y) <= other.y || other.y + padded(otherSize.y) <= at.y;
            EXPECT_TRUE(apart) << "cells " << a << " and " << b << " share texels with their gutters";
        }
    }
}

TEST_F(HudFontTest, SmallTextNeverShowsTheNeighbouringGlyphsInk)
{
    // Two solid glyphs side by side: at the smallest level each is still whole texels of its
    // own, with an empty texel between them, so shrunk text gets no fringe from its neighbour.
    GlyphAtlas atlas;
    atlas.create(128);
    const glm::ivec2 size(13, 21);
    const std::vector<std::uint8_t> ink(static_cast<std::size_t>(size.x * size.y), 255);
    const glm::ivec2 first = *atlas.place(size);
    const glm::ivec2 second = *atlas.place(size);
    ASSERT_EQ(first.y, second.y);
    atlas.upload(first, size, ink.data(), size.x);
    atlas.upload(second, size, ink.data(), size.x);

    const int level = GlyphAtlas::mipLevels - 1;
    const int side = 128 >> level;
    std::vector<std::uint8_t> texels(static_cast<std::size_t>(side * side));
    glBindTexture(GL_TEXTURE_2D, atlas.texture);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, level, GL_RED, GL_UNSIGNED_BYTE, texels.data());
    const int row = first.y >> level;
    const int firstEnd = (first.x >> level) + 2;  // 13 texels: two of the smallest level
    EXPECT_GT(texels[static_cast<std::size_t>(row * side + firstEnd - 1)], 0) << "the first glyph's own ink";
    EXPECT_EQ(texels[static_cast<std::size_t>(row * side + firstEnd)], 0) << "the gutter stays empty";
    EXPECT_EQ(second.x >> level, firstEnd + 1);
    EXPECT_GT(texels[static_cast<std::size_t>(row * side + (second.x >> level))], 0);
    EXPECT_EQ(texels[static_cast<std::size_t>(side * side - 1)], 0) << "untouched texels are empty";
}

TEST_F(HudFontTest, WhenTheAtlasFillsUpTheTextGatheredSoFarStillShows)
{
    HUD hud;
    hud.initialize();
    TextRenderer& text = *hud.text;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, width, height);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    text.begin();
    text.draw("HHHH", 10.0f, static_cast<float>(height) - 60.0f, 1.0f, glm::vec3(1.0f));
    // More letters than one atlas holds (Latin, Greek and Cyrillic): it starts again, more than once.
    std::u32string many;
    for (char32_t c = 0x100; c < 0x500; ++c)
        many += c;
    const glm::ivec2 firstPlace = text.glyph(U'H')->atlasPlace;
    text.draw(encodeUtf8(many), 10.0f, 10.0f, 0.2f, glm::vec3(1.0f));
    text.draw("HHHH", 10.0f, static_cast<float>(height) / 2.0f, 1.0f, glm::vec3(1.0f));
    text.end();
    EXPECT_NE(text.glyph(U'H')->atlasPlace, firstPlace) << "the atlas started again";

    std::vector<unsigned char> pixels(static_cast<std::size_t>(width * height * 3));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    const int before = brightPixels(pixels, height - 70, height);
    const int after = brightPixels(pixels, height / 2 - 10, height / 2 + 60);
    EXPECT_GT(before, 200) << "drawn before the atlas was emptied";
    EXPECT_NEAR(before, after, after / 10) << "the same text from the new atlas";
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

} // namespace
