#pragma once

#include "app/BestResults.h"
#include "app/GameRules.h"
#include "app/TextRenderer.h"

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
    // The window's framebuffer has a new size: the text keeps its size in pixels and its places
    // follow the new corners and centre.
    void resize(int newWidth, int newHeight);
    void update(const Game& game);
    // The bookkeeping of update, on plain values: the player as it stands after this step and
    // what the rules decided in it.
    void observe(const PlayerStatus& player, float frameTime, bool showFps, const RuleEvents& events);
    // Notes M's mute toggle, so the HUD can say "SOUND OFF" / "SOUND ON" for a moment.
    void observeSound(bool muted, float frameTime);
    // The sound notice to show now, or null.
    const char* soundNotice() const;
    void render();
    // The game-over texts alone, for a screen that draws its own panel under them first.
    void renderGameOver();
    // Where the lowest game-over line ends, in pixels from the bottom: a menu under the texts starts below it.
    float gameOverBottom() const;
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
    // The game-over texts are drawn by the game-over menu over its panel, not by render().
    bool gameOverDrawnByMenu = false;
};

