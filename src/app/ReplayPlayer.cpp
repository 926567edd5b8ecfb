#include "app/ReplayPlayer.h"

#include "app/Game.h"
#include "app/GameInput.h"
#include "physics/Player.h"
#include "render/Files.h"

#include <algorithm>
#include <cstdio>

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
    game.input = std::make_shared<GameInput>(std::move(recorded));
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

