#pragma once

#include "physics/PhysxObjectDynamic.h"
#include "scene/GameObject.h"

#include <glm/glm.hpp>

#include <cstdint>
#include <memory>
#include <vector>

// The rain of every segment: drops per second, their lifetime, and their size.
constexpr float RAIN_RATE = 2.5f;
constexpr float RAIN_LIFETIME = 10.0f;
constexpr float RAIN_DROP_SCALE = 2.0f;
constexpr float RAIN_SPEED = 9.81f;
// A drop reports touching the floor and walls, the player, trees and mushrooms.
constexpr std::uint32_t RAINDROP_MASK = COLLISION_GROUND | COLLISION_PLAYER | COLLISION_TREE | COLLISION_SHROOM;

// A weightless drop that falls at constant speed, ends at its first reported touch,
// and otherwise expires after its lifetime.
class Raindrop : public PhysxObjectDynamic {
public:
    Raindrop(std::shared_ptr<PhysicsEngine> engine, float lifetime);

    void update(const StepContext& step) override;
    // Its pose comes from the physics body in world coordinates, whatever emitter it hangs under.
    glm::mat4 getWorldMatrix() override;
    void onHit(PhysxObject* other) override;
    // Whether an ended drop has left the physics world and may fall again.
    bool reusable() const;
    // An ended drop falls again as a new one: its body back in the world, its age zero.
    void revive();

    float age = 0.0f;
    float lifetime;
};

// A rain emitter: spawns drops over a rectangle (its scale) reaching back from its
// position, falling along the direction its rotation (degrees) gives.
class ParticleSystem : public GameObject {
public:
    ParticleSystem(float rate, float lifetime, float dropScale);

    void update(const StepContext& step) override;
    void setPosition(glm::vec3 value) override;
    void setRotation(glm::vec3 value) override;
    void setScale(glm::vec3 value) override;

    float rate;
    float lifetime;
    float dropScale;
    float accumulator = 0.0f;
    glm::vec3 halfExtents{0.5f};
    glm::vec3 direction{0.0f};
    glm::vec3 right{0.0f};
    glm::vec3 up{0.0f};
    // Ended drops kept to fall again: steady rain makes no new objects or bodies.
    std::vector<std::shared_ptr<Raindrop>> spareDrops;

private:
    void computeBasis();
    // A spare drop that has left the world, revived, or a new one.
    std::shared_ptr<Raindrop> nextDrop(const StepContext& step);
};
