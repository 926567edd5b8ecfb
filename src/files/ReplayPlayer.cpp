#include "files/ReplayPlayer.h"

#include "files/Files.h"
#include "input/GameInput.h"
#include "physics/Player.h"
#include "run/Run.h"

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

ReplayPlayer::ReplayPlayer(const Replay& replay)
    : replay(&replay)
    , cursor(replay)
    , upcoming(cursor.next())
{
}

std::unique_ptr<Run> ReplayPlayer::makeRun()
{
    RunRules rules;
    rules.settings = replay->header.settings;
    rules.baseHealth = replay->header.baseHealth;
    auto recorded = std::make_unique<ReplayInputDevice>(replay->header.keyCodes);
    device = recorded.get();
    // The keys the recording was made with, whatever the viewer has bound since.
    auto input = std::make_shared<GameInput>(std::move(recorded),
                                             Controls::fromCodes(replay->header.bindings).value_or(Controls()));
    return std::make_unique<Run>(rules, std::move(input));
}

bool ReplayPlayer::inRun() const
{
    return played >= replay->header.runStart;
}

void ReplayPlayer::stepFrame(Run& run)
{
    if (!upcoming || !device)
        return;
    const ReplayFrame frame = *upcoming;
    device->show(frame);
    // Settings the player changed during the recorded run (F4, the settings screen) change it here too.
    run.rules.settings = frame.settings;
    if (frame.scroll != 0)
        run.input->onScroll(frame.scroll);
    if (!sameKeys(run.input->controls(), frame.bindings)) {
        std::vector<int> codes(frame.bindings.begin(), frame.bindings.end());
        if (const auto bound = Controls::fromCodes(codes))
            run.input->setControls(*bound);
    }
    run.step({frame.frameTime, frame.focused, frame.restart});
    ++played;
    upcoming = cursor.next();
}

void ReplayPlayer::playToEnd(Run& run)
{
    while (!finished())
        stepFrame(run);
}

double ReplayPlayer::nextPaceTime() const
{
    return std::clamp(nextFrameTime(), 0.001, static_cast<double>(maxUpdateTime));
}

std::string finalStateLine(const Run& run)
{
    Player& player = *run.player;
    const glm::vec3 p = player.getPosition();
    char line[256];
    std::snprintf(line, sizeof line,
                  "Replay ended: level %d, health %.2f, remaining time %.2f, position (%.2f, %.2f, %.2f)",
                  player.level, player.health, player.remainingTime, p.x, p.y, p.z);
    return line;
}

