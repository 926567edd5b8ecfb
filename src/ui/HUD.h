#pragma once

#include "files/BestResults.h"
#include "run/GameRules.h"
#include "text/TextRenderer.h"
#include "ui/Layout.h"

#include <glm/glm.hpp>

#include <cstdint>
#include <map>
#include <optional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class Game;
class TextRenderer;

// What the HUD reads of the player each frame.
struct PlayerStatus {
    float health = 0.0f;
    float remainingTime = 0.0f;
    int level = 0;
};

// Health, remaining time, level and frame rate over the finished frame, the end-of-game
// messages, and a three-second banner when a new level begins.
class HUD {
public:
    HUD();
    ~HUD();

    // Sets up the text drawing, shared with the menus when `shared` is given, else its own
    // (the font, the glyphs, the quad); needs the shader registry and a GL context.
    void initialize(std::shared_ptr<TextRenderer> shared = nullptr);
    // The window's framebuffer has a new size: the texts' places and sizes follow it.
    void resize(int newWidth, int newHeight);
    void update(const Game& game);
    // The bookkeeping of update, on plain values: the player as it stands after this step and
    // what the rules decided in it.
    void observe(const PlayerStatus& player, float frameTime, bool showFps, const RuleEvents& events);
    // Notes M's mute toggle, so the HUD can say "SOUND OFF" / "SOUND ON" for a moment.
    void observeSound(bool muted, float frameTime);
    // The sound notice to show now, or null.
    const char* soundNotice() const;
    // Draws the layout of this frame, then drawn().
    void render();
    // The HUD has been drawn this frame: a banner whose time is up ends (a banner that ran while
    // the HUD was hidden ends unseen at its first drawing).
    void drawn();
    // The HUD's texts for the window `page` is for, the game-over texts among them. A menu under
    // the game-over texts needs `menuHeight` pixels; the room left for it goes to `menuRoom`.
    void layout(ui::Page& page, float menuHeight = 0.0f, ui::Box* menuRoom = nullptr) const;
    // Its parts, top to bottom of the code: each adds its texts and says where they end.
    float layoutTopRow(ui::Page& page) const;
    float layoutBottomRow(ui::Page& page) const;
    float layoutBanner(ui::Page& page, float ceiling) const;
    void layoutGameOver(ui::Page& page, float ceiling, float bottomRowTop, float menuHeight, ui::Box* menuRoom) const;
    // One line of the game-over column: where it stands at 1000 x 750 (from the centre), how
    // large, in which colour; an English line of the HUD's table keeps its x there.
    struct GameOverLine {
        std::string text;
        bool translated;
        float designY;
        float scale;
        glm::vec3 color;
        float englishX;
    };
    std::vector<GameOverLine> gameOverLines() const;
    bool gameOver() const { return died || outOfTime; }
    // The game-over texts include this run's line.
    bool showsLastRun() const;

    // The best game so far, shown on the game-over screen; `beaten` when the game just
    // ended set it.
    void showBest(const RunResult& best, bool beaten);
    // The run that has just ended and its place in the best runs (none when it did not make them),
    // shown under the best.
    void showRun(const RunResult& run, std::optional<std::size_t> place);

    std::shared_ptr<TextRenderer> text;
    int height = 0;
    int width = 0;
    bool fpsVisible = false;
    bool died = false;
    bool outOfTime = false;
    bool levelBannerActive = false;
    float shownTime = 0.0f;
    float healthPercent = 0.0f;
    float levelBannerTime = 0.0f;
    float healthReference = startHealth;
    // The health a run of the one on show starts from.
    float healthAtStart = startHealth;
    int shownLevel = 0;
    int fps = 0;
    // The render scale, shown after the frame rate when it is not 100.
    int renderScalePercent = 100;
    float frameTime = 0.0f;
    bool soundMuted = false;
    // Seconds the sound notice has shown; negative while there is none.
    float soundNoticeTime = -1.0f;
    std::optional<RunResult> best;
    bool newBest = false;
    std::optional<RunResult> lastRun;
    std::optional<std::size_t> lastRunPlace;
    // Shown in a corner while a recording plays ("REPLAY"); empty in play.
    std::string replayLabel;
};

