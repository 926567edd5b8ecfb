#pragma once

#include "audio/SoundEvents.h"
#include "run/GameRules.h"
#include "run/RunRules.h"
#include "run/StepContext.h"
#include "scene/GameObject.h"
#include "world/Random.h"

#include <memory>

class GameInput;
class PhysicsEngine;
class Player;
class ReplayRecorder;
class Run;
class SegmentManager;

// A stall of a suspended laptop, a stopped process or a dragged window is not flown through:
// the world takes at most this much of a frame, so a hitch neither eats the level's clock nor
// throws the creature far.
constexpr float maxUpdateTime = 0.25f;

// What the owner of a run hears from its steps, at the moment it happens (the player's game
// keeps its records and replays; a recording watched or a probe hears nothing).
class RunListener {
public:
    // The run has just ended: lost, out of time, or given up for a restart (before the restart
    // resets it, so the level and the seconds played are still the run's).
    virtual void runEnded(Run&, bool /*givenUp*/) {}
    // A new run begins in this step.
    virtual void runRestarted(Run&) {}

protected:
    ~RunListener() = default;
};

// One frame of play as it reaches the world: its time, whether the window had the focus, and
// whether a restart was chosen for it.
struct RunFrame {
    double frameTime = 0.0;
    bool focused = true;
    bool restart = false;
};

// What one step did.
struct StepResult {
    // The step asked for the pause (P, Start, the focus or the pad gone) and moved nothing.
    bool paused = false;
};

// One run of play: its own world (physics, creature, the ring of segments under its root), the
// input it is flown with, its recorder, its timers and rule state, the rules it plays by and its
// own random sequence. Runs never share state: the player's run, a recording being watched and
// the world's probe are each one of these, side by side.
class Run {
public:
    // A new world, grown from the start of its random sequence (without the ring of segments
    // for tests that build their own surroundings). `input` is what its steps read.
    Run(const RunRules& rules, std::shared_ptr<GameInput> input, bool withSegments = true);
    ~Run();
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    // One whole step: the input read, then the world (see readInput and advance).
    StepResult step(const RunFrame& frame);
    // The first half of a step: the frame's times, the events emptied, the input sampled (only
    // with the focus; without it every key settles).
    void readInput(double frameTime, bool focused);
    // The second half: the step is recorded, then, unless it pauses, the rules, the creature,
    // the world and the physics move by this step's time.
    StepResult advance(const RunFrame& frame);
    // What this step hands to the objects of the world.
    StepContext context();
    // Empties what the last step decided (a frame in which the run does not step).
    void clearEvents();

    bool isOver() const;

    RunRules rules;
    WorldRandom random;
    std::shared_ptr<GameInput> input;
    std::shared_ptr<PhysicsEngine> physics;
    std::shared_ptr<Player> player;
    std::shared_ptr<SegmentManager> segmentManager;
    GameObject root;
    // Records the steps; null unless this run is the player's and recorded.
    std::shared_ptr<ReplayRecorder> recorder;
    RunListener* listener = nullptr;

    // Seconds the world advances in this step, and the real seconds of the frame (they differ
    // only after a hitch longer than maxUpdateTime).
    float deltaTime = 0.0f;
    float realFrameTime = 0.0f;
    // A new run began in this step.
    bool restarted = false;
    float levelTimer = 0.0f;
    // Seconds of play since the start or the last restart.
    double runSeconds = 0.0;
    // The run has ended (game over); the next restart begins another.
    bool runOver = false;
    // What the world did in this step for the ear, and what the rules decided.
    SoundEvents soundEvents;
    RuleEvents ruleEvents;

private:
    void moveWorld(bool restartNow);
    // The run is over: lost, out of time, or given up (RESTART from the pause menu).
    void endRun(bool givenUp);
};

// The rules of one step on a run's creature: `restartNow` is the restart this step plays by.
// What happened goes into the run's rule events. A run ended before its health or time ran out
// (given up from the pause menu) restarts as an ended game does.
void applyGameRules(Run& run, bool restartNow);
