#pragma once

#include "app/BestResults.h"
#include "app/GameRules.h"
#include "scene/GameObject.h"

#include <glm/glm.hpp>

#include <cstdint>
#include <map>
#include <optional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class Shader;

// One glyph of the HUD font, rasterised once into its own single-channel texture.
struct Character {
    std::uint32_t textureId = 0;
    glm::ivec2 size{0};    // bitmap width and rows, pixels
    glm::ivec2 bearing{0}; // offset of the bitmap from the pen position and baseline
    std::uint32_t advance = 0; // horizontal advance, 1/64 pixel
};

// What the HUD reads of the player each frame.
struct PlayerStatus {
    float health = 0.0f;
    float remainingTime = 0.0f;
    int level = 0;
};

// Health, remaining time, level and frame rate over the finished frame, the end-of-game
// messages, and a three-second banner when a new level begins.
class HUD : public IUpdate {
public:
    HUD();
    ~HUD();

    // Loads the font and sets up the glyph quad; needs the shader registry and a GL context.
    void initialize();
    // The window's framebuffer has a new size: the text keeps its size in pixels and its places
    // follow the new corners and centre.
    void resize(int newWidth, int newHeight);
    void update(Game* game) override;
    // The bookkeeping of update, on plain values.
    void observe(const PlayerStatus& player, float frameTime, bool showFps, bool& restarted);
    // Notes M's mute toggle, so the HUD can say "SOUND OFF" / "SOUND ON" for a moment.
    void observeSound(bool muted, float frameTime);
    // The sound notice to show now, or null.
    const char* soundNotice() const;
    void render();
    void renderText(std::string_view text, float x, float y, float scale, glm::vec3 color);
    // Width in pixels that renderText gives the text at that scale.
    float textWidth(std::string_view text, float scale) const;

    // The best game so far, shown on the game-over screen; `beaten` when the game just
    // ended set it.
    void showBest(const RunResult& best, bool beaten);

    std::map<char, Character> characters;
    int height = 0;
    int width = 0;
    std::shared_ptr<Shader> shader;
    std::uint32_t vao = 0;
    std::uint32_t vbo = 0;
    bool fpsVisible = false;
    bool died = false;
    bool outOfTime = false;
    bool levelBannerActive = false;
    float shownTime = 0.0f;
    float healthPercent = 0.0f;
    float levelBannerTime = 0.0f;
    float healthReference = startHealth;
    int shownLevel = 0;
    int fps = 0;
    // The render scale, shown after the frame rate when it is not 100.
    int renderScalePercent = 100;
    float frameTime = 0.0f;
    bool soundMuted = false;
    // Seconds the sound notice has shown; negative while there is none.
    float soundNoticeTime = -1.0f;
    // The game is paused: the paused screen goes over everything.
    bool paused = false;
    std::optional<RunResult> best;
    bool newBest = false;
    // Shown in a corner while a recording plays ("REPLAY"); empty in play.
    std::string replayLabel;

private:
    void renderPausedScreen();
    // Draws a line of text centred on x.
    void renderCentred(std::string_view text, float x, float y, float scale, glm::vec3 color);

    // Uploads "projection" and "text" again whenever the program was rebuilt (F5).
    void sendStaticUniforms();
    // The program load the static uniforms were sent to.
    std::uint32_t configuredLoad = 0;
    // One line of text being drawn: six (x, y, u, v) corners and the texture of each glyph.
    std::vector<float> glyphQuads;
    std::vector<std::uint32_t> glyphTextures;
};

// Draws issued by every HUD since the program started (the frame benchmark counts them per frame).
std::uint64_t hudDrawCalls();
