#include "app/TextRenderer.h"

#include "app/Utf8.h"

#include "render/Files.h"
#include "render/Shader.h"

#include <epoxy/gl.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>
#include <string>

namespace {

std::uint64_t drawCalls = 0;
constexpr char32_t replacementCharacter = 0xFFFD;

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

    font = std::make_unique<Font>();
    if (FT_Init_FreeType(&font->library)) {
        logMessage("ERROR::FREETYPE: Could not init FreeType Library");
        font.reset();
    } else if (FT_New_Face(font->library, assetPath("fonts/OratorStd.otf").c_str(), 0, &font->face)) {
        logMessage("ERROR::FREETYPE: Failed to load font");
        font.reset();
    }

    if (font) {
        FT_Set_Pixel_Sizes(font->face, 0, 48);
        for (char32_t c = 0; c < 128; ++c)
            glyph(c);
    }

    sendStaticUniforms();

    glGenVertexArrays(1, &vao);
    glGenBuffers(1, &vbo);
    glBindVertexArray(vao);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glBufferData(GL_ARRAY_BUFFER, sizeof(float) * 6 * 4, nullptr, GL_DYNAMIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, 4 * sizeof(float), nullptr);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindVertexArray(0);
}

std::optional<Character> TextRenderer::rasterise(char32_t character) const
{
    if (FT_Load_Char(font->face, character, FT_LOAD_RENDER)) {
        logMessage("ERROR::FREETYTPE: Failed to load Glyp");
        return std::nullopt;
    }
    const FT_GlyphSlot slot = font->face->glyph;
    // Glyph rows are tightly packed; the unpacking set for the game's other textures comes back after.
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RED, static_cast<GLsizei>(slot->bitmap.width),
                 static_cast<GLsizei>(slot->bitmap.rows), 0, GL_RED, GL_UNSIGNED_BYTE, slot->bitmap.buffer);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glBindTexture(GL_TEXTURE_2D, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    Character made;
    made.textureId = texture;
    made.size = {static_cast<int>(slot->bitmap.width), static_cast<int>(slot->bitmap.rows)};
    made.bearing = {slot->bitmap_left, slot->bitmap_top};
    made.advance = static_cast<std::uint32_t>(slot->advance.x);
    return made;
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
    sendStaticUniforms();
}

void TextRenderer::sendStaticUniforms()
{
    if (!shader)
        return;
    glUseProgram(shader->programId);
    const glm::mat4 projection =
        glm::ortho(0.0f, static_cast<float>(viewWidth), 0.0f, static_cast<float>(viewHeight), -1.0f, 1.0f);
    glUniformMatrix4fv(glGetUniformLocation(shader->programId, "projection"), 1, GL_FALSE, glm::value_ptr(projection));
    glUniform1i(glGetUniformLocation(shader->programId, "text"), 0);
    colorLocation = glGetUniformLocation(shader->programId, "textColor");
    configuredLoad = shader->loadCount;
}

void TextRenderer::begin()
{
    if (!shader)
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
}

void TextRenderer::end()
{
    glBindVertexArray(0);
    glBindTexture(GL_TEXTURE_2D, 0);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
}

void TextRenderer::setColor(glm::vec3 color)
{
    glUniform3f(colorLocation, color.x, color.y, color.z);
}

void TextRenderer::draw(std::string_view text, float x, float y, float scale, glm::vec3 color)
{
    if (!shader)
        return;
    // The quads of the whole line go up in one upload: a buffer rewritten under every glyph's
    // draw makes the driver wait for the glyph before.
    glyphQuads.clear();
    glyphTextures.clear();
    for (char32_t ch : decodeUtf8(text)) {
        const Character* found = glyph(ch);
        if (!found)
            continue; // no font: draws nothing and takes no room
        const Character& c = *found;
        const float xpos = x + static_cast<float>(c.bearing.x) * scale;
        // A glyph reaching below the baseline (g, p, y) hangs its descent below it.
        const float ypos = y - static_cast<float>(c.size.y - c.bearing.y) * scale;
        const float w = static_cast<float>(c.size.x) * scale;
        const float h = static_cast<float>(c.size.y) * scale;
        glyphQuads.insert(glyphQuads.end(), {xpos,     ypos + h, 0.0f, 0.0f, //
                                             xpos,     ypos,     0.0f, 1.0f, //
                                             xpos + w, ypos,     1.0f, 1.0f, //
                                             xpos,     ypos + h, 0.0f, 0.0f, //
                                             xpos + w, ypos,     1.0f, 1.0f, //
                                             xpos + w, ypos + h, 1.0f, 0.0f});
        glyphTextures.push_back(c.textureId);
        x += static_cast<float>(c.advance >> 6) * scale;
    }
    if (glyphTextures.empty())
        return;

    setColor(color);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(glyphQuads.size() * sizeof(float)), glyphQuads.data(),
                 GL_DYNAMIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    for (std::size_t i = 0; i < glyphTextures.size(); ++i) {
        glBindTexture(GL_TEXTURE_2D, glyphTextures[i]);
        glDrawArrays(GL_TRIANGLES, static_cast<GLint>(6 * i), 6);
        ++drawCalls;
    }
}

void TextRenderer::drawCentred(std::string_view text, float centreX, float y, float scale, glm::vec3 color)
{
    draw(text, centreX - width(text, scale) / 2.0f, y, scale, color);
}

float TextRenderer::width(std::string_view text, float scale) const
{
    float total = 0.0f;
    for (char32_t ch : decodeUtf8(text))
        if (const Character* found = glyph(ch))
            total += static_cast<float>(found->advance >> 6) * scale;
    return total;
}

void TextRenderer::drawPlaced(std::string_view text, bool translated, Placement placement, float x, float y,
                              float scale, glm::vec3 color)
{
    if (!translated) {
        draw(text, x, y, scale, color);
        return;
    }
    // A translation stays this far inside the window's edges, shrunk if it must be.
    constexpr float margin = 12.0f;
    const float W = static_cast<float>(viewWidth);
    const float room = placement == Placement::Left ? W - margin - std::max(x, margin) : W - 2.0f * margin;
    // The width grows with the scale: measured once.
    float w = width(text, scale);
    if (w > room && w > 0.0f) {
        const float shrink = std::max(room, 1.0f) / w;
        scale *= shrink;
        w *= shrink;
    }
    switch (placement) {
    case Placement::Left:
        x = std::max(x, margin);
        break;
    case Placement::Centre:
        x = static_cast<float>(viewWidth / 2) - w / 2.0f;
        break;
    case Placement::Right:
        x = std::max(margin, std::min(x, W - margin - w));
        break;
    }
    draw(text, x, y, scale, color);
}

std::uint32_t TextRenderer::panelTexture(float opacity)
{
    const auto level = static_cast<std::uint8_t>(std::lround(std::clamp(opacity, 0.0f, 1.0f) * 255.0f));
    const auto it = panelTextures.find(level);
    if (it != panelTextures.end())
        return it->second;
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RED, 1, 1, 0, GL_RED, GL_UNSIGNED_BYTE, &level);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    panelTextures[level] = texture;
    return texture;
}

void TextRenderer::drawRect(float x, float y, float w, float h, glm::vec3 color, float opacity)
{
    if (!shader || w <= 0.0f || h <= 0.0f)
        return;
    // The panel's opacity is the coverage of a one-texel texture, so panels and glyphs share a program.
    const float quad[] = {x, y + h, 0.5f, 0.5f, x,     y,     0.5f, 0.5f, x + w, y,     0.5f, 0.5f,
                          x, y + h, 0.5f, 0.5f, x + w, y,     0.5f, 0.5f, x + w, y + h, 0.5f, 0.5f};
    const GLuint texture = panelTexture(opacity);
    setColor(color);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glBufferData(GL_ARRAY_BUFFER, sizeof quad, quad, GL_DYNAMIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindTexture(GL_TEXTURE_2D, texture);
    glDrawArrays(GL_TRIANGLES, 0, 6);
    ++drawCalls;
}
