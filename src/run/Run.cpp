#include "run/Run.h"

#include "files/Replay.h"
#include "input/GameInput.h"
#include "physics/PhysicsEngine.h"
#include "physics/Player.h"
#include "world/SegmentManager.h"

#include <algorithm>

Run::Run(const RunRules& rules, std::shared_ptr<GameInput> input, bool withSegments)
    : rules(rules)
    , input(std::move(input))
{
    physics = std::make_shared<PhysicsEngine>();
    player = std::make_shared<Player>(physics, rules.baseHealth);
    if (withSegments) {
        // The forest grows from the start of this world's own sequence, so a replay sees the same one.
        segmentManager = std::make_shared<SegmentManager>(physics, random);
        root.addChild(segmentManager);
    }
}

Run::~Run()
{
    // The forest leaves the scene first, then the creature, then the physics they all live in.
    root.children.clear();
    segmentManager.reset();
    player.reset();
    physics.reset();
}

StepResult Run::step(const RunFrame& frame)
{
    readInput(frame.frameTime, frame.focused);
    return advance(frame);
}

void Run::clearEvents()
{
    soundEvents.clear();
    ruleEvents.clear();
}

void Run::readInput(double frameTime, bool focused)
{
    clearEvents();
    realFrameTime = static_cast<float>(frameTime);
    deltaTime = static_cast<float>(std::min(frameTime, static_cast<double>(maxUpdateTime)));
    if (focused)
        input->update();
    else
        input->settle();
}

bool Run::isOver() const
{
    return isGameOver(player->health, player->remainingTime);
}

StepResult Run::advance(const RunFrame& frame)
{
    // Every step is recorded, the one that pauses too: a playback goes through the same steps
    // to the same end.
    if (recorder) {
        const int scroll = input->released(SCROLL_UP) ? 1 : input->released(SCROLL_DOWN) ? -1 : 0;
        recorder->recordFrame(frame.frameTime, frame.focused, scroll, frame.restart, input->controls(),
                              rules.settings);
    }
    // Pause: P, the pad's Start, the window losing the focus or the pad going away, only while
    // there is a game to lose. The step that pauses moves nothing.
    if (!isOver() && !frame.restart && (input->pauseRequested || !frame.focused || input->gamepadLost))
        return {true};
    moveWorld(frame.restart);
    return {};
}

StepContext Run::context()
{
    StepContext step;
    step.deltaTime = deltaTime;
    step.input = input.get();
    step.physics = physics;
    step.player = player.get();
    step.rules = &rules;
    step.random = &random;
    step.soundEvents = &soundEvents;
    return step;
}

void Run::endRun(bool givenUp)
{
    runOver = true;
    if (listener)
        listener->runEnded(*this, givenUp);
    runSeconds = 0.0;
}

void Run::moveWorld(bool restartNow)
{
    // A run given up from the pause menu ends here, as if it had been lost.
    if (restartNow && !runOver)
        endRun(true);
    applyGameRules(*this, restartNow);
    if (restarted) {
        runOver = false;
        input->captureCursor();
        if (recorder)
            recorder->startRun();
        if (listener)
            listener->runRestarted(*this);
    }
    const bool playingThisStep = !isOver();

    const StepContext step = context();
    player->update(step);
    root.update(step);
    physics->update(step);

    if (playingThisStep)
        runSeconds += deltaTime;
    // The step the game ends: the owner weighs the run against the best and keeps its replay.
    noteRunEnd(ruleEvents, !runOver, player->health, player->remainingTime);
    if (!runOver && isOver()) {
        // The cursor is freed for the game-over menu; the world goes on under it.
        input->releaseCursor();
        endRun(false);
    }
}

void applyGameRules(Run& run, bool restartNow)
{
    Player& p = *run.player;
    const int levelBefore = p.level;
    run.restarted = false;
    const RuleState state{p.level, p.health, p.remainingTime, run.levelTimer, run.restarted};
    const float difficulty = run.rules.settings.difficulty;
    if (restartNow && run.runOver && !isGameOver(p.health, p.remainingTime)) {
        restartRun(state, run.rules.baseHealth);
        applyGameRules(state, false, run.deltaTime, difficulty, run.rules.baseHealth);
    } else {
        applyGameRules(state, restartNow, run.deltaTime, difficulty, run.rules.baseHealth);
    }
    if (run.restarted)
        run.ruleEvents.push(RuleEvent::Restarted);
    else if (p.level > levelBefore)
        run.ruleEvents.push(RuleEvent::LevelUp);
}
