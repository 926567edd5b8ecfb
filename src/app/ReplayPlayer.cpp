#include "app/ReplayPlayer.h"

#include "app/Game.h"
#include "app/GameInput.h"
#include "physics/Player.h"
#include "render/Files.h"

#include <algorithm>
#include <cstdio>

namespace {

bool sameKeys(const Controls& controls, const std::array<int, actionCount>& keys)
{
    for (std::size_t i = 0; i < actionCount; ++i)
        if (controls.key(static_cast<Action>(i)) != keys[i])
            return false;
    return true;
}

} // namespace

void prepareForReplay(const Replay& replay)
{
    baseHealth = replay.header.baseHealth;
    applyReplaySettings(replay.header.settings);
}

ReplayPlayer::ReplayPlayer(const Replay& replay)
    : replay(&replay)
    , cursor(replay)
    , upcoming(cursor.next())
{
}

void ReplayPlayer::attach(Game& game)
{
    prepareForReplay(*replay);
    auto recorded = std::make_unique<ReplayInputDevice>(replay->header.keyCodes);
    device = recorded.get();
    // The keys the recording was made with, whatever the viewer has bound since.
    game.input = std::make_shared<GameInput>(std::move(recorded),
                                             Controls::fromCodes(replay->header.bindings).value_or(Controls()));
    game.recorder.reset();
    game.replaying = true;
}

bool ReplayPlayer::inRun() const
{
    return played >= replay->header.runStart;
}

void ReplayPlayer::stepFrame(Game& game)
{
    if (!upcoming || !device)
        return;
    const ReplayFrame frame = *upcoming;
    device->show(frame);
    applyReplaySettings(frame.settings);
    if (frame.scroll != 0 && game.input)
        game.input->onScroll(frame.scroll);
    if (game.input && !sameKeys(game.input->controls(), frame.bindings)) {
        std::vector<int> codes(frame.bindings.begin(), frame.bindings.end());
        if (const auto bound = Controls::fromCodes(codes))
            game.input->setControls(*bound);
    }
    game.playStep(frame.frameTime, frame.focused, frame.restart);
    ++played;
    upcoming = cursor.next();
}

void ReplayPlayer::playToEnd(Game& game)
{
    while (!finished())
        stepFrame(game);
}

double ReplayPlayer::nextPaceTime() const
{
    return std::clamp(nextFrameTime(), 0.001, static_cast<double>(maxUpdateTime));
}

std::string finalStateLine(Game& game)
{
    if (!game.player)
        return "Replay ended: no player";
    const glm::vec3 p = game.player->getPosition();
    char line[256];
    std::snprintf(line, sizeof line,
                  "Replay ended: level %d, health %.2f, remaining time %.2f, position (%.2f, %.2f, %.2f)",
                  game.player->level, game.player->health, game.player->remainingTime, p.x, p.y, p.z);
    return line;
}

