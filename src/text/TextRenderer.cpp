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
    glyphPixels = 0;
    loadFont();
    chooseGlyphPixels(windowWidth, windowHeight);
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
    if (drawing) {
        std::set<std::uint32_t> textures;
        for (const auto& [code, made] : characters)
            if (made.textureId != 0)
                textures.insert(made.textureId);
        for (std::uint32_t texture : textures)
            glDeleteTextures(1, &texture);
    }
    characters.clear();
    if (!font)
        return;
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
    if (!drawing)
        return made;
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
    // Small text is the glyph shrunk several times: its mipmaps keep the strokes whole.
    const bool mipmapped = slot->bitmap.width > 0 && slot->bitmap.rows > 0;
    if (mipmapped)
        glGenerateMipmap(GL_TEXTURE_2D);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, mipmapped ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glBindTexture(GL_TEXTURE_2D, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    made.textureId = texture;
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
    chooseGlyphPixels(windowWidth, windowHeight);
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

float TextRenderer::width(std::string_view text, float scale) const
{
    scale *= glyphScale();
    float total = 0.0f;
    for (char32_t ch : decodeUtf8(text))
        if (const Character* found = glyph(ch))
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
    for (char32_t ch : decodeUtf8(text))
        if (const Character* found = glyph(ch); found && found->size.y > 0) {
            extent.x = std::max(extent.x, static_cast<float>(found->bearing.y) * scale);
            extent.y = std::max(extent.y, static_cast<float>(found->size.y - found->bearing.y) * scale);
        }
    return extent;
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
    if (!shader || !drawing || w <= 0.0f || h <= 0.0f)
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
