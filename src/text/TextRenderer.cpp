#include "text/TextRenderer.h"

#include "text/Utf8.h"

#include "files/Files.h"
#include "render/Shader.h"

#include <epoxy/gl.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <set>
#include <string>

namespace {

std::uint64_t drawCalls = 0;
constexpr char32_t replacementCharacter = 0xFFFD;

// Room for the ASCII codes and the letters of every language the game has, several times over.
int atlasSide(int glyphPixels)
{
    return glyphPixels > 48 ? 2048 : 1024;
}

} // namespace

std::uint64_t hudDrawCalls()
{
    return drawCalls;
}

struct TextRenderer::Font {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    // Characters the font lacks, each reported once.
    std::set<char32_t> missing;

    ~Font()
    {
        if (face)
            FT_Done_Face(face);
        if (library)
            FT_Done_FreeType(library);
    }
};

TextRenderer::TextRenderer() = default;
TextRenderer::~TextRenderer() = default;

void TextRenderer::initialize(int windowWidth, int windowHeight)
{
    shader = getShader(SHADER_HUD);
    viewWidth = windowWidth;
    viewHeight = windowHeight;
    glyphPixels = 0;
    loadFont();
    chooseGlyphPixels(windowWidth, windowHeight);
    sendStaticUniforms();

    glGenVertexArrays(1, &vao);
    glGenBuffers(1, &vbo);
    glBindVertexArray(vao);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, sizeof(Corner), nullptr);
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 4, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(Corner),
                          reinterpret_cast<void*>(offsetof(Corner, rgba)));
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindVertexArray(0);
}

void TextRenderer::initializeMeasuring()
{
    drawing = false;
    glyphPixels = 0;
    loadFont();
    chooseGlyphPixels(1000, 750);
}

bool TextRenderer::loadFont()
{
    font = std::make_unique<Font>();
    if (FT_Init_FreeType(&font->library)) {
        logMessage("ERROR::FREETYPE: Could not init FreeType Library");
        font.reset();
        return false;
    }
    if (FT_New_Face(font->library, assetPath("fonts/OratorStd.otf").c_str(), 0, &font->face)) {
        logMessage("ERROR::FREETYPE: Failed to load font");
        font.reset();
        return false;
    }
    if (glyphPixels > 0) {
        FT_Set_Pixel_Sizes(font->face, 0, static_cast<FT_UInt>(glyphPixels));
        for (char32_t c = 0; c < 128; ++c)
            glyph(c);
    }
    return true;
}

void TextRenderer::chooseGlyphPixels(int windowWidth, int windowHeight)
{
    // Big windows scale text well past the 48-pixel glyphs: they get glyphs twice as large.
    const float factor = std::min(static_cast<float>(windowWidth) / 1000.0f, static_cast<float>(windowHeight) / 750.0f);
    const int wanted = factor > 1.25f ? 96 : 48;
    if (wanted == glyphPixels)
        return;
    glyphPixels = wanted;
    characters.clear();
    if (!font)
        return;
    if (drawing)
        startAtlas();
    FT_Set_Pixel_Sizes(font->face, 0, static_cast<FT_UInt>(glyphPixels));
    for (char32_t c = 0; c < 128; ++c)
        glyph(c);
}

float TextRenderer::glyphScale() const
{
    return 48.0f / static_cast<float>(glyphPixels > 0 ? glyphPixels : 48);
}

std::optional<Character> TextRenderer::rasterise(char32_t character) const
{
    if (FT_Load_Char(font->face, character, FT_LOAD_RENDER)) {
        logMessage("ERROR::FREETYTPE: Failed to load Glyp");
        return std::nullopt;
    }
    const FT_GlyphSlot slot = font->face->glyph;
    Character made;
    made.size = {static_cast<int>(slot->bitmap.width), static_cast<int>(slot->bitmap.rows)};
    made.bearing = {slot->bitmap_left, slot->bitmap_top};
    made.advance = static_cast<std::uint32_t>(slot->advance.x);
    if (!drawing || made.size.x <= 0 || made.size.y <= 0)
        return made;
    std::optional<glm::ivec2> place = atlas.place(made.size);
    if (!place) {
        // Full (letters of many scripts): the text so far is drawn, and the atlas starts again
        // with the glyphs asked for from now on.
        characters.clear();
        startAtlas();
        place = atlas.place(made.size);
        if (!place)
            return made;
    }
    atlas.upload(*place, made.size, slot->bitmap.buffer, slot->bitmap.pitch);
    made.atlasPlace = *place;
    return made;
}

void TextRenderer::startAtlas() const
{
    flush();
    atlas.create(atlasSide(glyphPixels));
}

const Character* TextRenderer::glyph(char32_t character) const
{
    const auto found = characters.find(character);
    if (found != characters.end())
        return &found->second;
    if (!font)
        return nullptr;
    // A character the font has no glyph for is drawn as the replacement character (the font's
    // own, else its "missing" glyph), so a text with letters the font lacks shows where they are.
    char32_t drawn = character;
    if (character >= 128 && FT_Get_Char_Index(font->face, character) == 0) {
        if (font->missing.insert(character).second) {
            char code[16];
            std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(character));
            logMessage(std::string("Font: no glyph for ") + code + ", drawn as a replacement");
        }
        drawn = replacementCharacter;
        if (const auto replacement = characters.find(drawn); replacement != characters.end())
            return &(characters[character] = replacement->second);
    }
    const std::optional<Character> made = rasterise(drawn);
    if (!made)
        return nullptr;
    if (drawn != character)
        characters[drawn] = *made;
    return &(characters[character] = *made);
}

void TextRenderer::resize(int windowWidth, int windowHeight)
{
    viewWidth = windowWidth;
    viewHeight = windowHeight;
    chooseGlyphPixels(windowWidth, windowHeight);
    sendStaticUniforms();
}

void TextRenderer::sendStaticUniforms() const
{
    if (!shader)
        return;
    glUseProgram(shader->programId);
    const glm::mat4 projection =
        glm::ortho(0.0f, static_cast<float>(viewWidth), 0.0f, static_cast<float>(viewHeight), -1.0f, 1.0f);
    glUniformMatrix4fv(glGetUniformLocation(shader->programId, "projection"), 1, GL_FALSE, glm::value_ptr(projection));
    glUniform1i(glGetUniformLocation(shader->programId, "text"), 0);
    configuredLoad = shader->loadCount;
}

void TextRenderer::begin()
{
    corners.clear();
}

void TextRenderer::end()
{
    flush();
}

void TextRenderer::flush() const
{
    if (corners.empty() || !shader)
        return;
    if (configuredLoad != shader->loadCount)
        sendStaticUniforms();
    glUseProgram(shader->programId);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glBlendEquation(GL_FUNC_ADD);
    glBindVertexArray(vao);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, atlas.texture);

    // The buffer only grows; a frame's corners replace the last frame's in place.
    const std::size_t bytes = corners.size() * sizeof(Corner);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    if (bytes > bufferBytes) {
        bufferBytes = std::max(bytes, 2 * bufferBytes);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(bufferBytes), nullptr, GL_STREAM_DRAW);
    }
    glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(bytes), corners.data());
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(corners.size()));
    ++drawCalls;
    corners.clear();

    glBindVertexArray(0);
    glBindTexture(GL_TEXTURE_2D, 0);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
}

void TextRenderer::addQuad(glm::vec4 box, glm::vec4 texels, glm::vec3 color, float opacity)
{
    const auto level = [](float value) {
        return static_cast<std::uint8_t>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f));
    };
    const float toUv = 1.0f / static_cast<float>(std::max(atlas.side(), 1));
    const float left = box.x;
    const float bottom = box.y;
    const float right = box.x + box.z;
    const float top = box.y + box.w;
    // The atlas's rows go down the glyph: its first row is the quad's top.
    const float u0 = texels.x * toUv;
    const float v0 = texels.y * toUv;
    const float u1 = (texels.x + texels.z) * toUv;
    const float v1 = (texels.y + texels.w) * toUv;
    const std::uint8_t r = level(color.r), g = level(color.g), b = level(color.b), a = level(opacity);
    for (const auto& [x, y, u, v] : {std::array{left, top, u0, v0}, std::array{left, bottom, u0, v1},
                                     std::array{right, bottom, u1, v1}, std::array{left, top, u0, v0},
                                     std::array{right, bottom, u1, v1}, std::array{right, top, u1, v0}})
        corners.push_back({x, y, u, v, {r, g, b, a}});
}

void TextRenderer::drawShadowed(std::string_view text, float x, float y, float scale, glm::vec3 color, float offset)
{
    if (offset > 0.0f)
        draw(text, x + offset, y - offset, scale, glm::vec3(0.0f));
    draw(text, x, y, scale, color);
}

void TextRenderer::draw(std::string_view text, float x, float y, float scale, glm::vec3 color)
{
    if (!shader || !drawing)
        return;
    scale *= glyphScale();
    for (std::size_t i = 0; i < text.size();) {
        const Character* found = glyph(nextCharacter(text, i));
        if (!found)
            continue; // no font: draws nothing and takes no room
        const Character& c = *found;
        if (c.atlasPlace.x >= 0) {
            const float xpos = x + static_cast<float>(c.bearing.x) * scale;
            // A glyph reaching below the baseline (g, p, y) hangs its descent below it.
            const float ypos = y - static_cast<float>(c.size.y - c.bearing.y) * scale;
            addQuad({xpos, ypos, static_cast<float>(c.size.x) * scale, static_cast<float>(c.size.y) * scale},
                    {glm::vec2(c.atlasPlace), glm::vec2(c.size)}, color, 1.0f);
        }
        x += static_cast<float>(c.advance >> 6) * scale;
    }
}

float TextRenderer::width(std::string_view text, float scale) const
{
    scale *= glyphScale();
    float total = 0.0f;
    for (std::size_t i = 0; i < text.size();)
        if (const Character* found = glyph(nextCharacter(text, i)))
            total += static_cast<float>(found->advance >> 6) * scale;
    return total;
}

float TextRenderer::capitalHeight(float scale) const
{
    const Character* capital = glyph(U'H');
    return capital ? static_cast<float>(capital->bearing.y) * scale * glyphScale() : 0.0f;
}

glm::vec2 TextRenderer::inkExtent(std::string_view text, float scale) const
{
    scale *= glyphScale();
    glm::vec2 extent(0.0f);
    for (std::size_t i = 0; i < text.size();)
        if (const Character* found = glyph(nextCharacter(text, i)); found && found->size.y > 0) {
            extent.x = std::max(extent.x, static_cast<float>(found->bearing.y) * scale);
            extent.y = std::max(extent.y, static_cast<float>(found->size.y - found->bearing.y) * scale);
        }
    return extent;
}

void TextRenderer::drawRect(float x, float y, float w, float h, glm::vec3 color, float opacity)
{
    if (!shader || !drawing || w <= 0.0f || h <= 0.0f)
        return;
    // The whole panel reads the middle of the atlas's solid block: full coverage at the
    // corners' opacity, so panels and glyphs share the program and the draw.
    addQuad({x, y, w, h}, {atlas.solidTexel(), 0.0f, 0.0f}, color, opacity);
}
