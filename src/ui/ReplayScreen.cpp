#include "ui/ReplayScreen.h"

#include "app/Game.h"
#include "files/Files.h"
#include "files/ReplayPlayer.h"
#include "files/Translation.h"
#include "input/GameInput.h"
#include "text/TextRenderer.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

// Seconds the last frame of a replay stays on screen, so its end can be seen.
constexpr double endHoldSeconds = 2.0;
// Owed play time is capped, so a stall is not caught up in one burst.
constexpr double maxOwedSeconds = 0.25;
// Going through the earlier runs takes at most this much of a frame; the rest keeps the window answering.
constexpr auto catchUpSlice = std::chrono::milliseconds(12);
// Progress is shown once going through them has taken longer than this.
constexpr double progressAfterSeconds = 1.0;

} // namespace

ReplayScreen::ReplayScreen(Replay replay, bool standalone)
    : replay(std::move(replay))
    , standalone(standalone)
{
}

ReplayScreen::~ReplayScreen() = default;

void ReplayScreen::enter(Game& game)
{
    if (started)
        return;
    started = true;
    player = std::make_unique<ReplayPlayer>(replay);
    watched = player->makeRun();

    hud.text = game.hud.text;
    hud.width = game.hud.width;
    hud.height = game.hud.height;
    hud.soundMuted = game.hud.soundMuted;
    hud.replayLabel = N_("REPLAY");
    if (!player->inRun())
        logMessage("Replay: going through the session's " + std::to_string(replay.header.runStart) +
                   " frames before this run");
}

void ReplayScreen::leave(Game& game)
{
    if (!endShown && player)
        logMessage("Replay: stopped after " + std::to_string(player->framesPlayed()) + " of " +
                   std::to_string(replay.header.frameCount) + " frames");
    // The window may have changed size meanwhile: the player's camera and targets follow it.
    game.framebufferResized = true;
}

void ReplayScreen::finish(Game& game)
{
    if (standalone)
        game.quit();
    else
        game.screens.pop();
}

bool ReplayScreen::worldMoves() const
{
    return started && !viewerPaused && !endShown && player && player->inRun();
}

void ReplayScreen::update(Game& game, double frameTime)
{
    const MenuInput& viewer = game.menuInput;
    if (viewer.back()) {
        finish(game);
        return;
    }
    if (endShown) {
        endHeld += frameTime;
        if (endHeld >= endHoldSeconds)
            finish(game);
        return;
    }
    if (viewer.resume()) {
        viewerPaused = !viewerPaused;
        hud.replayLabel = viewerPaused ? N_("REPLAY - PAUSED") : N_("REPLAY");
    }

    if (!player->inRun()) {
        // The earlier runs of the session, unseen, a slice of each frame at a time.
        const auto until = std::chrono::steady_clock::now() + catchUpSlice;
        while (!player->finished() && !player->inRun() && std::chrono::steady_clock::now() < until)
            player->stepFrame(*watched);
        catchingUp += frameTime;
    } else if (!viewerPaused && !player->finished()) {
        // Recorded steps are taken as their time comes due: a fast machine shows some pictures
        // twice, a slow one takes several steps between two pictures.
        owed = std::min(owed + frameTime, maxOwedSeconds);
        while (!player->finished() && owed > 0.0) {
            owed -= player->nextPaceTime();
            player->stepFrame(*watched);
        }
    }
    if (player->finished() && !endShown) {
        endShown = true;
        logMessage(finalStateLine(*watched));
    }
}

void ReplayScreen::drawWorld(Game& game)
{
    if (catchingUpNow()) {
        // The earlier runs are not shown.
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glViewport(0, 0, game.hud.width, game.hud.height);
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        return;
    }
    // Paused by the viewer, or at its end, the recording's world stands still: drawn once, then held.
    if (viewerPaused || endShown)
        game.drawStillWorld([&game] { game.renderWorld(); });
    else
        game.renderWorld();
}

void ReplayScreen::layout(Game&, ui::Page& page)
{
    if (!catchingUpNow()) {
        if (watched->input->showHud)
            hud.layout(page);
        return;
    }
    // After a moment, how far through the earlier runs we are.
    if (catchingUp < progressAfterSeconds)
        return;
    const double share = replay.header.runStart == 0
                             ? 1.0
                             : static_cast<double>(player->framesPlayed()) / replay.header.runStart;
    const std::string line = formatText(_("GOING THROUGH EARLIER RUNS: %d %%"), static_cast<int>(share * 100.0));
    const glm::vec2 at = page.at(ui::Anchor::Centre, 0.0f, 0.0f);
    page.add(_("REPLAY"), ui::Align::Centre, at.x, at.y + page.px(40.0f), page.scaleFor(1.0f, ui::Role::Primary),
             glm::vec3(1.0f, 0.0f, 0.0f));
    page.add(line, ui::Align::Centre, at.x, at.y - page.px(20.0f), page.scaleFor(0.5f, ui::Role::Primary),
             glm::vec3(1.0f));
}

void ReplayScreen::draw(Game& game)
{
    Screen::draw(game);
    if (!catchingUpNow() && watched->input->showHud)
        hud.drawn();
}

bool ReplayScreen::catchingUpNow() const
{
    return player && !player->inRun() && !player->finished();
}
