#include "app/TextRenderer.h"

#include "render/Files.h"
#include "render/Shader.h"

#include <epoxy/gl.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#include <algorithm>
#include <cmath>

namespace {

std::uint64_t drawCalls = 0;

} // namespace

std::uint64_t hudDrawCalls()
{
    return drawCalls;
}

void TextRenderer::initialize(int windowWidth, int windowHeight)
{
    shader = getShader(SHADER_HUD);
    viewWidth = windowWidth;
    viewHeight = windowHeight;

    FT_Library library = nullptr;
    FT_Face face = nullptr;
    bool fontReady = false;
    if (FT_Init_FreeType(&library)) {
        logMessage("ERROR::FREETYPE: Could not init FreeType Library");
        library = nullptr;
    } else if (FT_New_Face(library, assetPath("fonts/OratorStd.otf").c_str(), 0, &face)) {
        logMessage("ERROR::FREETYPE: Failed to load font");
        face = nullptr;
    } else {
        fontReady = true;
    }

    if (fontReady) {
        FT_Set_Pixel_Sizes(face, 0, 48);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        for (int c = 0; c < 128; ++c) {
            if (FT_Load_Char(face, static_cast<FT_ULong>(c), FT_LOAD_RENDER)) {
                logMessage("ERROR::FREETYTPE: Failed to load Glyp");
                continue;
            }
            const FT_GlyphSlot glyph = face->glyph;
            GLuint texture = 0;
            glGenTextures(1, &texture);
            glBindTexture(GL_TEXTURE_2D, texture);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RED, static_cast<GLsizei>(glyph->bitmap.width),
                         static_cast<GLsizei>(glyph->bitmap.rows), 0, GL_RED, GL_UNSIGNED_BYTE,
                         glyph->bitmap.buffer);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
            Character character;
            character.textureId = texture;
            character.size = {static_cast<int>(glyph->bitmap.width), static_cast<int>(glyph->bitmap.rows)};
            character.bearing = {glyph->bitmap_left, glyph->bitmap_top};
            character.advance = static_cast<std::uint32_t>(glyph->advance.x);
            characters[static_cast<char>(c)] = character;
        }
        glBindTexture(GL_TEXTURE_2D, 0);
    }
    if (face)
        FT_Done_Face(face);
    if (library)
        FT_Done_FreeType(library);

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
    for (char ch : text) {
        const auto it = characters.find(ch);
        if (it == characters.end())
            continue; // no glyph: draws nothing and takes no room
        const Character& c = it->second;
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
    for (char ch : text) {
        const auto it = characters.find(ch);
        if (it != characters.end())
            total += static_cast<float>(it->second.advance >> 6) * scale;
    }
    return total;
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
