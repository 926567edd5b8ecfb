#pragma once

#include "physics/ControllerHitReport.h"
#include "physics/PhysxObject.h"

#include <glm/glm.hpp>

#include <memory>
#include <vector>

class btCapsuleShapeZ;
class PhysicsEngine;

// How a controller is made. The capsule stands along the world's up axis (Z).
struct CharacterControllerDesc {
    glm::vec3 position{0.0f};
    float radius = 0.5f;
    // Length of the straight middle part between the two half spheres.
    float height = 0.01f;
    // The gap the capsule keeps in front of whatever it runs into.
    float contactOffset = 0.1f;
    PhysicsMaterial material{0.0f, 0.0f, 0.0f};
    ControllerHitReport* hitReport = nullptr;
};

// What a move ran into, relative to the up axis.
enum ControllerCollision : unsigned {
    COLLIDED_SIDES = 1,
    COLLIDED_ABOVE = 2,
    COLLIDED_BELOW = 4,
};

// A capsule moved by collision-aware sweeps rather than by forces: it stops in front of
// whatever it runs into, slides along it with the rest of the move, and tells its hit report
// what it touched. Its body sits in the world with all-zero collision words, so the engine's
// touch report never names it; every other body blocks it, rain drops and pollen included.
class CharacterController {
public:
    static constexpr float minMoveDistance = 0.001f;
    static constexpr int maxSlides = 4;

    CharacterController(std::shared_ptr<PhysicsEngine> engine, const CharacterControllerDesc& desc);
    ~CharacterController();

    CharacterController(const CharacterController&) = delete;
    CharacterController& operator=(const CharacterController&) = delete;

    // Moves by displacement unless it is shorter than minDistance; returns ControllerCollision
    // bits. Bodies overlapping the capsule at the start and every body a sweep runs into are
    // reported once each before the move returns. elapsed is the frame time the move belongs
    // to; the capsule needs nothing of it.
    unsigned move(glm::vec3 displacement, float minDistance, float elapsed);

    // Teleports the capsule, without collisions.
    void setPosition(glm::vec3 position);
    // The capsule's centre.
    glm::vec3 getPosition() const;

    PhysicsBody* getActor() { return body.get(); }
    float getRadius() const { return radius; }
    float getHeight() const { return height; }
    float getContactOffset() const { return contactOffset; }

private:
    void touch(PhysicsBody* other, glm::vec3 point, glm::vec3 normal, glm::vec3 direction, float length);
    void report();

    std::shared_ptr<PhysicsEngine> engine;
    float radius;
    float height;
    float contactOffset;
    PhysicsMaterial material;
    ControllerHitReport* hitReport;
    std::unique_ptr<btCapsuleShapeZ> capsule;
    std::unique_ptr<PhysicsBody> body;

    // Hits of the move under way, one per body.
    std::vector<ControllerHit> hits;
    // Storage for the next move's hits while the last move's are being reported.
    std::vector<ControllerHit> spareHits;
    std::vector<PhysicsBody*> overlaps;
};
