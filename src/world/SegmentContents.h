#pragma once

#include "physics/PhysxObjectDynamic.h"

#include <memory>

class PhysicsEngine;

// A floating pickup that buys time; it vanishes when collected (or when it touches the ceiling).
class Pollen : public PhysxObjectDynamic {
public:
    explicit Pollen(std::shared_ptr<PhysicsEngine> engine);
    void update(const StepContext& step) override;
    void onHit(PhysxObject* other) override;
};

// A mushroom obstacle: flying into it knocks the player back.
class Shroom : public PhysxObjectDynamic {
public:
    explicit Shroom(std::shared_ptr<PhysicsEngine> engine);
};

// A tree obstacle: flying into it knocks the player back.
class Tree : public PhysxObjectDynamic {
public:
    explicit Tree(std::shared_ptr<PhysicsEngine> engine);
};

// Dense forest beside the tunnel, seen through the invisible walls; no physics.
class Woods : public Drawable {
public:
    Woods();
};
