#pragma once

#include <glm/glm.hpp>

class CharacterController;
class PhysicsBody;

// What a character controller ran into during one move.
struct ControllerHit {
    // The controller that moved.
    CharacterController* controller = nullptr;
    // The body it ran into; its owner() is the object hit.
    PhysicsBody* actor = nullptr;
    // Where the capsule met the body, and the body's surface normal there (pointing at the capsule).
    glm::vec3 worldPos{0.0f};
    glm::vec3 worldNormal{0.0f};
    // Direction and length of the move that found the hit.
    glm::vec3 dir{0.0f};
    float length = 0.0f;
};

// Told, before move returns, what a controller's move ran into; each body once per move.
class ControllerHitReport {
public:
    // A body of the world.
    virtual void onShapeHit(const ControllerHit& hit) = 0;
    // Another controller's capsule.
    virtual void onControllerHit(const ControllerHit& hit) = 0;
    // A registered obstacle (the game registers none).
    virtual void onObstacleHit(const ControllerHit& hit) = 0;

protected:
    ~ControllerHitReport() = default;
};
