#pragma once

#include "scene/GameObject.h"

#include <glm/glm.hpp>

#include <memory>
#include <vector>

class PhysicsEngine;
class PhysxObjectDynamic;
class ParticleSystem;
class Woods;
class WorldRandom;

constexpr float segmentLength = 200.0f;
constexpr int segmentCount = 4;
// The whole ring: the distance the player and the segments are carried back once a lap.
constexpr float worldLength = segmentLength * segmentCount;
// Length, width (also the tunnel's height) and thickness given to every segment.
const glm::vec3 segmentSize(segmentLength, 75.0f, 1.0f);

// One stretch of the tunnel: floor, invisible walls and ceiling, the woods beside it,
// its rain, and the trees, mushrooms and pollen scattered over it.
class Segment : public GameObject {
public:
    // The contents are drawn from `random`, the sequence of the world the segment belongs to.
    Segment(std::shared_ptr<PhysicsEngine> engine, WorldRandom& random);

    // Creates the boundaries, the rain emitter and the woods at the current position and scale.
    void build();
    // Scatters new trees, mushrooms and pollen over the floor, cell by cell (never on the start segment).
    void populate();
    void clearContents();
    void translate(glm::vec3 offset);
    void translateContents(glm::vec3 offset);

    void update(const StepContext& step) override;
    void draw() override;

    bool isStart = false;
    std::shared_ptr<PhysicsEngine> engine;
    WorldRandom* random;
    std::shared_ptr<ParticleSystem> rain;
    std::vector<std::shared_ptr<PhysxObjectDynamic>> boundaries;
    std::vector<std::shared_ptr<PhysxObjectDynamic>> contents;
    std::vector<std::shared_ptr<Woods>> woods;
};

// The ring of four segments the player flies through: segments left behind are refilled,
// and once a lap the player and the segments ahead are shifted back, so the tunnel never ends.
class SegmentManager : public GameObject {
public:
    // Four segments whose forests grow from `random`, which must outlive the manager.
    SegmentManager(std::shared_ptr<PhysicsEngine> engine, WorldRandom& random);

    void update(const StepContext& step) override;
    // Follows the player: refills and wraps the ring for each band it entered, however far it went.
    void follow(GameObject& player);

    // Ring index of the band a player at x is in (may lie outside 0..3 far from the ring).
    static int bandIndex(float x);
    // Where band `index` begins for a player counted in it (bands 2 and 3 after the wrap).
    static float bandStart(int index);

    std::vector<std::shared_ptr<Segment>> segments;
    glm::vec3 wrapOffset;
    int currentIndex = 0;

private:
    // Enters the band after currentIndex with the player at px: wraps and refills the segment left.
    void enterNext(GameObject& player, float px);
};
