#pragma once

#include <memory>

class GameInput;
class PhysicsEngine;
class Player;
class SoundEvents;
class WorldRandom;
struct RunRules;

// What one step of a run hands to every object it updates, and nothing more: the seconds the
// world advances, the input read for the step, the run's physics, creature, rules and random
// sequence, and where the objects note the sounds they make. A probe or a recording being
// watched steps its own world with its own context.
struct StepContext {
    float deltaTime = 0.0f;
    const GameInput* input = nullptr;
    std::shared_ptr<PhysicsEngine> physics;
    Player* player = nullptr;
    const RunRules* rules = nullptr;
    WorldRandom* random = nullptr;
    SoundEvents* soundEvents = nullptr;
};
