#pragma once

#include "scene/GameObject.h"

#include <glm/glm.hpp>

#include <cstdint>
#include <memory>
#include <vector>

class btCollisionShape;
class Model;
class PhysicsBody;
class PhysicsEngine;
struct ConvexHull;

// Surface of a body. Bullet keeps one friction coefficient, which takes the dynamic friction.
struct PhysicsMaterial {
    float staticFriction = 0.5f;
    float dynamicFriction = 0.5f;
    float restitution = 0.5f;
};

// Collision categories (word 0) used by the world's objects.
constexpr std::uint32_t COLLISION_DEFAULT = 1;
constexpr std::uint32_t COLLISION_GROUND = 2;
constexpr std::uint32_t COLLISION_PLAYER = 8;
constexpr std::uint32_t COLLISION_RAINDROP = 16;
constexpr std::uint32_t COLLISION_POLLEN = 32;
constexpr std::uint32_t COLLISION_TREE = 128;
constexpr std::uint32_t COLLISION_SHROOM = 256;

// A drawable whose transform lives in a physics body: the model matrix is read from the body
// every time, and the position and rotation setters move the body. Contacts reach it through
// onHit; it leaves the world through destroy.
class PhysxObject : public Drawable {
public:
    PhysxObject(std::shared_ptr<Model> model, std::shared_ptr<PhysicsEngine> engine);
    ~PhysxObject() override;

    // The body's pose times S(scale).
    glm::mat4 getModelMatrix() override;
    // Teleports the body (its position field stays untouched).
    void setPosition(glm::vec3 value) override;
    // Degrees about X, Y and Z, turned as qX * qY * qZ (the rotation field stays untouched).
    void setRotation(glm::vec3 degrees) override;
    // Rescales every shape; a box without a model gets half extents equal to the scale.
    void setScale(glm::vec3 value) override;
    glm::vec3 getPosition() override;

    // The body that carries this object; its user pointer leads back here.
    virtual PhysicsBody* getActor() = 0;
    // Called for a new touch reported by the engine, and by the player for what it runs into.
    virtual void onHit(PhysxObject* other) = 0;

    // Queues the body for removal at the engine's next update and marks this object destroyed; once.
    void destroy();
    // Stores the mask, writes both collision words (collisionType and mask) to the body when this
    // object made its shapes, and makes the body lead back to this object.
    void setCollisionMask(std::uint32_t mask);

    // What the world's objects set on their bodies.
    // Gravity on or off (on by default).
    void setGravityEnabled(bool enabled);
    // Mass 0 means infinite mass and inertia: never pushed by anything, yet still moving at
    // its linear velocity (the engine moves it each step). A positive mass makes the body
    // dynamic again.
    void setMass(float mass);
    // Units per second; wakes the body.
    void setLinearVelocity(glm::vec3 velocity);
    glm::vec3 getLinearVelocity();
    // Gravity off and infinite mass: hangs where it is put (trees, pollen, floor, walls), or
    // moves at exactly its linear velocity (rain drops).
    void makeImmovable();

    // Shapes this object created, in creation order; each with its own scale.
    std::vector<std::unique_ptr<btCollisionShape>> shapes;
    PhysicsMaterial material;
    std::shared_ptr<PhysicsEngine> engine;
    std::uint32_t collisionMask = 1;
    std::uint32_t collisionType = 1;

protected:
    // The hulls the shapes read their points from, kept as long as the shapes.
    std::vector<std::shared_ptr<ConvexHull>> hulls;
};
