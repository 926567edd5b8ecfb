#include "ui/HUD.h"

#include "app/Game.h"
#include "app/WindowSettings.h"
#include "files/Config.h"
#include "files/Translation.h"
#include "input/GameInput.h"
#include "physics/Player.h"
#include "run/Run.h"
#include "ui/RunTexts.h"

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
// Between two texts of the HUD that must not touch, in design pixels.
constexpr float rowGap = 12.0f;

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
    ui::Page page(*text, width, height);
    layout(page);
    text->begin();
    page.draw(*text);
    text->end();
    drawn();
}

void HUD::drawn()
{
    if (levelBannerActive && levelBannerTime > bannerSeconds) {
        levelBannerActive = false;
        levelBannerTime = 0.0f;
    }
}

void HUD::layout(ui::Page& page, float menuHeight, ui::Box* menuRoom) const
{
    const float topRowBottom = layoutTopRow(page);
    const float bottomRowTop = layoutBottomRow(page);
    const float ceiling = layoutBanner(page, topRowBottom - page.px(rowGap));
    if (gameOver()) {
        layoutGameOver(page, ceiling, bottomRowTop, menuHeight, menuRoom);
    } else if (menuRoom) {
        const ui::Box room = page.room();
        *menuRoom = {room.left, bottomRowTop + page.px(rowGap), room.right, ceiling};
    }
}

namespace {

// Where a line of a HUD row goes between its neighbours `left` and `right`: an English line
// where the HUD's table puts it (`englishX`), a translation centred by its measure, either
// kept inside the room.
float placedBetween(const ui::Page& page, bool translated, float englishX, float width, float left, float right)
{
    const float x = translated ? static_cast<float>(page.windowWidth / 2) - width / 2.0f : englishX;
    return std::clamp(x, left, std::max(left, right - width));
}

} // namespace

float HUD::layoutTopRow(ui::Page& page) const
{
    using ui::Align;
    using ui::Anchor;
    const float gap = page.px(rowGap);
    const float lineScale = page.scaleFor(0.5f, ui::Role::Primary);
    // The top row: health at the left, the frame rate at the right, the time between them.
    // English lines keep the places they were laid out for; a translation is placed by its measure.
    const ShownText health = shownText("Health: %.0f%%");
    glm::vec2 at = page.at(Anchor::TopLeft, 25.0f, -25.0f);
    const ui::Box healthBox =
        page.add(formatText(health.text, healthPercent), Align::Left, at.x, at.y, lineScale, white).box;
    float topRowBottom = healthBox.bottom;
    float timeRight = page.room().right;
    if (fpsVisible) {
        const std::string line = renderScalePercent != 100
                                     ? formatText(_("FPS: %i (%i %%)"), fps, renderScalePercent)
                                     : formatText(_("FPS: %i"), fps);
        const float scale = page.scaleFor(0.3f, ui::Role::Primary);
        at = page.at(Anchor::TopRight, -100.0f, -25.0f);
        // Where it always was, or further left for a longer line, still ending inside the window.
        const float x = std::min(at.x, page.at(Anchor::TopRight, -25.0f, 0.0f).x - page.width(line, scale));
        const ui::Box box = page.add(line, Align::Left, x, at.y, scale, white).box;
        timeRight = box.left - gap;
        topRowBottom = std::min(topRowBottom, box.bottom);
    }
    const ShownText time = shownText("Remaining time: %.2f ");
    const std::string line = formatText(time.text, shownTime);
    const float left = healthBox.right + gap;
    const float scale = page.fit(line, lineScale, timeRight - left, ui::Role::Primary);
    const float w = page.width(line, scale);
    if (w > timeRight - left) {
        // No room between its neighbours: a line of its own under the health.
        const float y = healthBox.bottom - gap - page.capital(lineScale);
        return page.add(line, Align::Left, healthBox.left, y, lineScale, white).box.bottom;
    }
    at = page.at(Anchor::Top, -150.0f, -25.0f);
    const float x = placedBetween(page, time.translated, at.x, w, left, timeRight);
    return std::min(topRowBottom, page.add(line, Align::Left, x, at.y, scale, white).box.bottom);
}

float HUD::layoutBottomRow(ui::Page& page) const
{
    using ui::Align;
    using ui::Anchor;
    const float gap = page.px(rowGap);
    const float lineScale = page.scaleFor(0.5f, ui::Role::Primary);
    // The bottom row: the level at the left, the replay's mark at the right, a notice between.
    const ShownText level = shownText("level: %i");
    glm::vec2 at = page.at(Anchor::BottomLeft, 25.0f, 25.0f);
    const ui::Box levelBox =
        page.add(formatText(level.text, shownLevel), Align::Left, at.x, at.y, lineScale, white).box;
    float bottomRowTop = levelBox.top;
    float noticeRight = page.room().right;
    if (!replayLabel.empty()) {
        at = page.at(Anchor::BottomRight, -25.0f, 25.0f);
        const ui::Box box = page.add(translate(replayLabel.c_str()), Align::Right, at.x, at.y,
                                     page.scaleFor(0.6f, ui::Role::Primary), red)
                                .box;
        noticeRight = box.left - gap;
        bottomRowTop = std::max(bottomRowTop, box.top);
    }
    if (const char* notice = soundNotice()) {
        const ShownText shown = shownText(notice);
        const float left = levelBox.right + gap;
        const float scale = page.fit(shown.text, lineScale, noticeRight - left, ui::Role::Primary);
        const float w = page.width(shown.text, scale);
        at = page.at(Anchor::Bottom, -70.0f, 25.0f);
        const float x = placedBetween(page, shown.translated, at.x, w, left, noticeRight);
        // Where even the smallest size has no room in the row, it stands above the level.
        const float y = w <= noticeRight - left ? at.y : levelBox.top + gap + page.capital(scale) * 0.3f;
        bottomRowTop = std::max(bottomRowTop, page.add(shown.text, Align::Left, x, y, scale, white).box.top);
    }
    return bottomRowTop;
}

float HUD::layoutBanner(ui::Page& page, float ceiling) const
{
    if (!levelBannerActive || levelBannerTime > bannerSeconds)
        return ceiling;
    const ShownText banner = shownText("LEVEL %i");
    const std::string line = formatText(banner.text, shownLevel);
    const glm::vec2 at = page.at(ui::Anchor::Top, -100.0f, -150.0f);
    const float scale = page.scaleFor(1.0f, ui::Role::Primary);
    const float y = std::min(at.y, ceiling - page.inkBox(line, 0.0f, 0.0f, scale, 0.0f).top);
    const float halfW = static_cast<float>(page.windowWidth / 2);
    const ui::Text& shown = page.add(line, banner.translated ? ui::Align::Centre : ui::Align::Left,
                                     banner.translated ? halfW : at.x, y, scale, cyan);
    return shown.box.bottom - page.px(rowGap);
}

std::vector<HUD::GameOverLine> HUD::gameOverLines() const
{
    std::vector<GameOverLine> column;
    const ShownText end = died ? shownText("YOU DIED") : shownText("OUT OF TIME");
    column.push_back({end.text, end.translated, 0.0f, 2.0f, red, died ? -225.0f : -300.0f});
    const ShownText prompt = shownText("PRESS ENTER TO RESTART THE GAME");
    column.push_back({prompt.text, prompt.translated, -70.0f, 1.0f, black, -450.0f});
    float designY = -130.0f;
    if (best) {
        column.push_back(
            {formatText(_("BEST: LEVEL %i, %.1f S"), best->level, best->seconds), true, designY, 0.7f, white, 0.0f});
        designY -= 40.0f;
    }
    if (showsLastRun()) {
        column.push_back({thisRunText(*lastRun, lastRunPlace), true, designY, 0.7f, white, 0.0f});
        designY -= 40.0f;
    }
    if (best && newBest)
        column.push_back({_("NEW BEST!"), true, designY - 20.0f, 0.8f, gold, 0.0f});
    return column;
}

void HUD::layoutGameOver(ui::Page& page, float ceiling, float bottomRowTop, float menuHeight, ui::Box* menuRoom) const
{
    using ui::Align;
    using ui::Anchor;
    using ui::Role;
    const float gap = page.px(rowGap);
    const float halfW = static_cast<float>(page.windowWidth / 2);
    const ui::Box room = page.room();
    // The end of the run, each line under the one before; the whole column goes up (never into
    // the top row) when the menu under it needs more room than the places it was laid out for leave.
    const std::vector<GameOverLine> column = gameOverLines();
    float lift = 0.0f;
    for (int pass = 0; pass < 2; ++pass) {
        ui::Page trial(page);
        trial.texts.clear();
        float bottom = ceiling;
        std::vector<ui::Text> placed;
        for (std::size_t i = 0; i < column.size(); ++i) {
            const GameOverLine& l = column[i];
            const float scale = page.scaleFor(l.scale, Role::Primary);
            const glm::vec2 at = page.at(Anchor::Centre, l.englishX, l.designY);
            const float top = page.inkBox(l.text, 0.0f, 0.0f, scale, 0.0f).top;
            // Under the line before (or the top row), however the sizes have grown.
            const float y = std::min(at.y + lift, bottom - (i == 0 ? 0.0f : gap * 0.5f) - top);
            const bool centred = l.translated || l.englishX == 0.0f;
            const ui::Text& shown =
                trial.add(l.text, centred ? Align::Centre : Align::Left, centred ? halfW : at.x, y, scale, l.color);
            placed.push_back(shown);
            bottom = shown.box.bottom;
        }
        const float below = bottom - gap - (bottomRowTop + gap);
        if (pass == 0 && menuHeight > below) {
            // Raised no higher than the top row allows.
            lift = std::min(menuHeight - below, std::max(0.0f, ceiling - placed.front().box.top));
            continue;
        }
        for (const ui::Text& shown : placed) {
            if (shown.color == black && shown.box.width() > 0.0f) {
                // The black prompt stands on a light band across the column.
                // Never narrower than the prompt it stands behind, never wider than the window.
                const float bandWidth = std::min(static_cast<float>(page.windowWidth),
                                                 std::max(page.px(960.0f), shown.box.width() + page.px(24.0f)));
                page.addPanel({halfW - bandWidth / 2.0f, shown.box.bottom - page.px(12.0f), halfW + bandWidth / 2.0f,
                               shown.box.top + page.px(12.0f)},
                              glm::vec3(1.0f), 0.7f);
            }
            page.texts.push_back(shown);
        }
        if (menuRoom)
            *menuRoom = {room.left, bottomRowTop + gap, room.right, bottom - gap};
        break;
    }
}

bool HUD::showsLastRun() const
{
    // A recording being watched ends with its own run, not the player's last one.
    return lastRun && replayLabel.empty();
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
