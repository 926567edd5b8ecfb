#include "RenderFixture.h"

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
        EXPECT_EQ(glIsTexture(glyph.textureId), GL_TRUE) << c;
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
    EXPECT_EQ(glIsTexture(cyrillic->textureId), GL_TRUE);
    EXPECT_NE(cyrillic->textureId, accented->textureId);

    // FreeSans has no CJK: such a character is drawn as U+FFFD, said once, never skipped.
    CaptureStdout();
    const Character* missing = text.glyph(U'\u4E00');
    text.glyph(U'\u4E00');
    EXPECT_EQ(GetCapturedStdout(), "Font: no glyph for U+4E00, drawn as a replacement\n");
    ASSERT_NE(missing, nullptr);
    EXPECT_EQ(missing->textureId, text.glyph(0xFFFD)->textureId);
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

} // namespace
