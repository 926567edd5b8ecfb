#include "app/HUD.h"

#include "app/Config.h"
#include "app/Game.h"
#include "app/GameInput.h"
#include "physics/Player.h"
#include "render/Files.h"
#include "render/Shader.h"

#include <epoxy/gl.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#include <cstdio>

namespace {

constexpr float bannerSeconds = 3.0f;
constexpr float soundNoticeSeconds = 2.0f;
// Displayed frame rates are capped so a vanishing frame time never overflows the integer.
constexpr float maxShownFps = 99999.0f;
constexpr glm::vec3 white(1.0f, 1.0f, 1.0f);
constexpr glm::vec3 red(1.0f, 0.0f, 0.0f);
constexpr glm::vec3 black(0.0f, 0.0f, 0.0f);
constexpr glm::vec3 cyan(0.0f, 1.0f, 1.0f);
constexpr glm::vec3 gold(1.0f, 0.85f, 0.1f);

// The paused screen's reminder of the controls: keyboard and mouse first, then the gamepad.
constexpr const char* controlLines[] = {
    "P / START: RESUME     ESC: QUIT     F11: FULL SCREEN",
    "MOUSE / RIGHT STICK: TURN     WHEEL / LB RB: CAMERA",
    "A D / LEFT STICK: SIDEWAYS     SPACE SHIFT / LEFT STICK: UP, DOWN",
    "W / RT / A: FASTER     S / LT / B: STOP     ENTER / A: RESTART",
};

std::uint64_t drawCalls = 0;

} // namespace

std::uint64_t hudDrawCalls()
{
    return drawCalls;
}

HUD::HUD() = default;
HUD::~HUD() = default;

void HUD::initialize()
{
    shader = getShader(SHADER_HUD);
    width = static_cast<int>(window_width);
    height = static_cast<int>(window_height);

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

    // Without a font the text is simply invisible: no glyph has an entry.
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

void HUD::resize(int newWidth, int newHeight)
{
    width = newWidth;
    height = newHeight;
    sendStaticUniforms();
}

void HUD::sendStaticUniforms()
{
    if (!shader)
        return;
    glUseProgram(shader->programId);
    const glm::mat4 projection = glm::ortho(0.0f, static_cast<float>(width), 0.0f, static_cast<float>(height), -1.0f, 1.0f);
    glUniformMatrix4fv(glGetUniformLocation(shader->programId, "projection"), 1, GL_FALSE, glm::value_ptr(projection));
    glUniform1i(glGetUniformLocation(shader->programId, "text"), 0);
    configuredLoad = shader->loadCount;
}

void HUD::update(Game* game)
{
    PlayerStatus status;
    if (game->player) {
        status.health = game->player->health;
        status.remainingTime = game->player->remainingTime;
        status.level = game->player->level;
    }
    observe(status, game->realFrameTime, game->input ? game->input->showFps : true, game->restarted);
    observeSound(game->input && game->input->muted, game->realFrameTime);
    renderScalePercent = static_cast<int>(game->renderScale.scale() * 100.0f + 0.5f);
}

void HUD::observeSound(bool muted, float frameTimeNow)
{
    if (muted != soundMuted) {
        soundMuted = muted;
        soundNoticeTime = 0.0f;
    } else if (soundNoticeTime >= 0.0f) {
        soundNoticeTime += frameTimeNow;
        if (soundNoticeTime > soundNoticeSeconds)
            soundNoticeTime = -1.0f;
    }
}

const char* HUD::soundNotice() const
{
    if (soundNoticeTime < 0.0f)
        return nullptr;
    return soundMuted ? "SOUND OFF" : "SOUND ON";
}

void HUD::observe(const PlayerStatus& player, float frameTimeNow, bool showFps, bool& restarted)
{
    int previousLevel = shownLevel;
    fpsVisible = showFps;
    frameTime = frameTimeNow;
    // A frame time of zero (or a clock hiccup) keeps the last rate instead of dividing by zero.
    if (frameTime > 0.0f)
        fps = static_cast<int>(std::min(1.0f / frameTime, maxShownFps));

    if (player.health <= 0.0f) {
        if (!outOfTime)
            died = true;
    } else if (player.remainingTime < 0.0f) {
        if (!died) {
            outOfTime = true;
            shownTime = 0.0f;
        }
    } else {
        shownTime = player.remainingTime;
        shownLevel = player.level;
    }

    healthPercent = player.health * 100.0f / healthReference;
    if (healthPercent < 0.0f)
        healthPercent = 0.0f;

    if (restarted) {
        died = false;
        outOfTime = false;
        healthReference = baseHealth;
        restarted = false;
        previousLevel = 0;
    }

    if (previousLevel < shownLevel) {
        // The level-up has just refilled health: that is the new 100 %.
        healthReference = player.health;
        levelBannerActive = true;
        levelBannerTime += frameTime;
    } else if (levelBannerActive) {
        levelBannerTime += frameTime;
    }
}

void HUD::render()
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

    const float W = static_cast<float>(width);
    const float H = static_cast<float>(height);
    const float halfW = static_cast<float>(width / 2);
    const float halfH = static_cast<float>(height / 2);
    char text[1000];

    std::snprintf(text, sizeof text, "Health: %.0f%%", healthPercent);
    renderText(text, 25.0f, H - 25.0f, 0.5f, white);
    std::snprintf(text, sizeof text, "Remaining time: %.2f ", shownTime);
    renderText(text, halfW - 150.0f, H - 25.0f, 0.5f, white);
    std::snprintf(text, sizeof text, "level: %i", shownLevel);
    renderText(text, 25.0f, 25.0f, 0.5f, white);
    if (fpsVisible) {
        if (renderScalePercent != 100)
            std::snprintf(text, sizeof text, "FPS: %i (%i %%)", fps, renderScalePercent);
        else
            std::snprintf(text, sizeof text, "FPS: %i", fps);
        renderText(text, W - std::max(100.0f, textWidth(text, 0.3f) + 25.0f), H - 25.0f, 0.3f, white);
    }
    if (!replayLabel.empty())
        renderText(replayLabel, W - 300.0f, 25.0f, 0.6f, red);
    if (died) {
        renderText("YOU DIED", halfW - 225.0f, halfH, 2.0f, red);
        renderText("PRESS ENTER TO RESTART THE GAME", halfW - 450.0f, halfH - 70.0f, 1.0f, black);
    }
    if (outOfTime) {
        renderText("OUT OF TIME", halfW - 300.0f, halfH, 2.0f, red);
        renderText("PRESS ENTER TO RESTART THE GAME", halfW - 450.0f, halfH - 70.0f, 1.0f, black);
    }
    if ((died || outOfTime) && best) {
        std::snprintf(text, sizeof text, "BEST: LEVEL %i, %.1f S", best->level, best->seconds);
        renderCentred(text, halfW, halfH - 130.0f, 0.7f, white);
        if (newBest)
            renderCentred("NEW BEST!", halfW, halfH - 190.0f, 0.8f, gold);
    }
    if (levelBannerActive && levelBannerTime <= bannerSeconds) {
        std::snprintf(text, sizeof text, "LEVEL %i", shownLevel);
        renderText(text, halfW - 100.0f, H - 150.0f, 1.0f, cyan);
    }
    if (const char* notice = soundNotice())
        renderText(notice, halfW - 70.0f, 25.0f, 0.5f, white);
    if (levelBannerActive && levelBannerTime > bannerSeconds) {
        levelBannerActive = false;
        levelBannerTime = 0.0f;
    }
    if (paused)
        renderPausedScreen();

    glBindVertexArray(0);
    glBindTexture(GL_TEXTURE_2D, 0);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
}

void HUD::renderText(std::string_view text, float x, float y, float scale, glm::vec3 color)
{
    glUniform3f(glGetUniformLocation(shader->programId, "textColor"), color.x, color.y, color.z);
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

    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(glyphQuads.size() * sizeof(float)), glyphQuads.data(),
                 GL_DYNAMIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glActiveTexture(GL_TEXTURE0);
    for (std::size_t i = 0; i < glyphTextures.size(); ++i) {
        glBindTexture(GL_TEXTURE_2D, glyphTextures[i]);
        glDrawArrays(GL_TRIANGLES, static_cast<GLint>(6 * i), 6);
        ++drawCalls;
    }
}

float HUD::textWidth(std::string_view text, float scale) const
{
    float width = 0.0f;
    for (char ch : text) {
        const auto it = characters.find(ch);
        if (it != characters.end())
            width += static_cast<float>(it->second.advance >> 6) * scale;
    }
    return width;
}

void HUD::renderCentred(std::string_view text, float x, float y, float scale, glm::vec3 color)
{
    renderText(text, x - textWidth(text, scale) / 2.0f, y, scale, color);
}

void HUD::renderPausedScreen()
{
    const float halfW = static_cast<float>(width / 2);
    const float halfH = static_cast<float>(height / 2);
    // A dark copy just below and right keeps the white lines readable over bright grass.
    const auto shadowed = [this](std::string_view text, float x, float y, float scale) {
        renderCentred(text, x + 2.0f, y - 2.0f, scale, black);
        renderCentred(text, x, y, scale, white);
    };
    shadowed("PAUSED", halfW, halfH + 40.0f, 2.0f);
    float y = halfH - 30.0f;
    for (const char* line : controlLines) {
        shadowed(line, halfW, y, 0.4f);
        y -= 30.0f;
    }
}

void HUD::showBest(const RunResult& record, bool beaten)
{
    best = record;
    newBest = beaten;
}
