#include "app/HUD.h"

#include "app/Config.h"
#include "app/Game.h"
#include "app/GameInput.h"
#include "app/RunTexts.h"
#include "app/Translation.h"
#include "app/WindowSettings.h"
#include "physics/Player.h"
#include "run/Run.h"

#include <algorithm>
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

} // namespace

HUD::HUD() = default;
HUD::~HUD() = default;

void HUD::initialize(std::shared_ptr<TextRenderer> shared)
{
    width = windowPixels(window_width);
    height = windowPixels(window_height);
    text = std::move(shared);
    if (!text) {
        text = std::make_shared<TextRenderer>();
        text->initialize(width, height);
    }
}

void HUD::resize(int newWidth, int newHeight)
{
    width = newWidth;
    height = newHeight;
    if (text)
        text->resize(newWidth, newHeight);
}

void HUD::update(const Game& game)
{
    renderScalePercent = static_cast<int>(game.renderScale.scale() * 100.0f + 0.5f);
    const Run* run = game.world();
    if (!run)
        return;
    const PlayerStatus status{run->player->health, run->player->remainingTime, run->player->level};
    healthAtStart = run->rules.baseHealth;
    observe(status, game.realFrameTime, run->input->showFps, run->ruleEvents);
    observeSound(run->input->muted, game.realFrameTime);
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
    return soundMuted ? N_("SOUND OFF") : N_("SOUND ON");
}

void HUD::observe(const PlayerStatus& player, float frameTimeNow, bool showFps, const RuleEvents& events)
{
    fpsVisible = showFps;
    frameTime = frameTimeNow;
    // A frame time of zero (or a clock hiccup) keeps the last rate instead of dividing by zero.
    if (frameTime > 0.0f)
        fps = static_cast<int>(std::min(1.0f / frameTime, maxShownFps));

    if (events.has(RuleEvent::Restarted)) {
        died = false;
        outOfTime = false;
        healthReference = healthAtStart;
    }
    // The first way of losing is the one shown, until the next restart.
    if (events.has(RuleEvent::Died) && !outOfTime)
        died = true;
    if (events.has(RuleEvent::OutOfTime) && !died)
        outOfTime = true;
    // The time and level shown stand still once the run is over; time that ran out shows 0.
    if (outOfTime) {
        shownTime = 0.0f;
    } else if (!died) {
        shownTime = player.remainingTime;
        shownLevel = player.level;
    }

    healthPercent = player.health * 100.0f / healthReference;
    if (healthPercent < 0.0f)
        healthPercent = 0.0f;

    if (events.has(RuleEvent::LevelUp)) {
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
    if (!text)
        return;
    text->begin();

    const float W = static_cast<float>(width);
    const float H = static_cast<float>(height);
    const float halfW = static_cast<float>(width / 2);
    char line[1000];

    // The English lines keep the places they were laid out for; a translation is placed by its
    // measure (a longer one centred, or shrunk to stay in the window).
    const ShownText health = shownText("Health: %.0f%%");
    std::snprintf(line, sizeof line, health.text, healthPercent);
    text->drawPlaced(line, health.translated, Placement::Left, 25.0f, H - 25.0f, 0.5f, white);
    const ShownText time = shownText("Remaining time: %.2f ");
    if (time.translated) {
        // Centred, but clear of the health line on its left and of the frame rate's corner on
        // its right, made smaller where a narrow window leaves too little room between them.
        const float left = 25.0f + text->width(line, 0.5f) + 20.0f;
        const float right = W - 105.0f;
        std::snprintf(line, sizeof line, time.text, shownTime);
        const float wide = text->width(line, 0.5f);
        const float scale = wide > right - left ? 0.5f * std::max(right - left, 1.0f) / wide : 0.5f;
        const float w = wide * scale / 0.5f;
        text->draw(line, std::clamp(halfW - w / 2.0f, left, std::max(left, right - w)), H - 25.0f, scale, white);
    } else {
        std::snprintf(line, sizeof line, time.text, shownTime);
        text->draw(line, halfW - 150.0f, H - 25.0f, 0.5f, white);
    }
    const ShownText level = shownText("level: %i");
    std::snprintf(line, sizeof line, level.text, shownLevel);
    text->drawPlaced(line, level.translated, Placement::Left, 25.0f, 25.0f, 0.5f, white);
    if (fpsVisible) {
        if (renderScalePercent != 100)
            std::snprintf(line, sizeof line, _("FPS: %i (%i %%)"), fps, renderScalePercent);
        else
            std::snprintf(line, sizeof line, _("FPS: %i"), fps);
        text->draw(line, W - std::max(100.0f, text->width(line, 0.3f) + 25.0f), H - 25.0f, 0.3f, white);
    }
    if (!replayLabel.empty()) {
        const ShownText label = shownText(replayLabel.c_str());
        text->drawPlaced(label.text, label.translated, Placement::Right, W - 300.0f, 25.0f, 0.6f, red);
    }
    if (!gameOverDrawnByMenu)
        renderGameOver();
    if (levelBannerActive && levelBannerTime <= bannerSeconds) {
        const ShownText banner = shownText("LEVEL %i");
        std::snprintf(line, sizeof line, banner.text, shownLevel);
        text->drawPlaced(line, banner.translated, Placement::Centre, halfW - 100.0f, H - 150.0f, 1.0f, cyan);
    }
    if (const char* notice = soundNotice()) {
        const ShownText shown = shownText(notice);
        text->drawPlaced(shown.text, shown.translated, Placement::Centre, halfW - 70.0f, 25.0f, 0.5f, white);
    }
    if (levelBannerActive && levelBannerTime > bannerSeconds) {
        levelBannerActive = false;
        levelBannerTime = 0.0f;
    }
    text->end();
}

void HUD::renderGameOver()
{
    if (!text || !gameOver())
        return;
    const float halfW = static_cast<float>(width / 2);
    const float halfH = static_cast<float>(height / 2);
    const ShownText end = died ? shownText("YOU DIED") : shownText("OUT OF TIME");
    text->drawPlaced(end.text, end.translated, Placement::Centre, halfW - (died ? 225.0f : 300.0f), halfH, 2.0f, red);
    const ShownText prompt = shownText("PRESS ENTER TO RESTART THE GAME");
    text->drawPlaced(prompt.text, prompt.translated, Placement::Centre, halfW - 450.0f, halfH - 70.0f, 1.0f, black);
    // Centred in every language; a long translation is shrunk to the window.
    float y = halfH - 130.0f;
    if (best) {
        char line[200];
        std::snprintf(line, sizeof line, _("BEST: LEVEL %i, %.1f S"), best->level, best->seconds);
        text->drawPlaced(line, true, Placement::Centre, halfW, y, 0.7f, white);
        y -= 40.0f;
    }
    if (showsLastRun()) {
        text->drawPlaced(thisRunText(*lastRun, lastRunPlace), true, Placement::Centre, halfW, y, 0.7f, white);
        y -= 40.0f;
    }
    if (best && newBest)
        text->drawPlaced(_("NEW BEST!"), true, Placement::Centre, halfW, y - 20.0f, 0.8f, gold);
}

bool HUD::showsLastRun() const
{
    // A recording being watched ends with its own run, not the player's last one.
    return lastRun && replayLabel.empty();
}

float HUD::gameOverBottom() const
{
    const float halfH = static_cast<float>(height / 2);
    // The prompt's descenders, the best and this run's lines, and "NEW BEST!" below them.
    const float lines = (best ? 1.0f : 0.0f) + (showsLastRun() ? 1.0f : 0.0f);
    if (lines == 0.0f)
        return halfH - 85.0f;
    return halfH - 105.0f - 40.0f * lines - (best && newBest ? 60.0f : 0.0f);
}

void HUD::showRun(const RunResult& run, std::optional<std::size_t> place)
{
    lastRun = run;
    lastRunPlace = place;
}

void HUD::showBest(const RunResult& record, bool beaten)
{
    best = record;
    newBest = beaten;
}
