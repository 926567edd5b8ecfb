#pragma once

#include <btBulletDynamicsCommon.h>

#include <cstdint>

class CharacterController;
class PhysxObject;

// Bullet's rigid body plus what the game keeps on every body: the two collision words, the
// way back to the owning object, and the motion of infinite-mass bodies. Bullet treats a
// mass-0 body as fixed and ignores its velocity, so an infinite-mass body here is kinematic
// and the engine carries it along its drift velocity before every step.
class PhysicsBody : public btRigidBody {
public:
    // A dynamic body (mass > 0) or, with mass 0, an immovable one.
    PhysicsBody(btCollisionShape* shape, float mass, const btVector3& inertia);
    ~PhysicsBody() override;

    PhysicsBody(const PhysicsBody&) = delete;
    PhysicsBody& operator=(const PhysicsBody&) = delete;

    PhysxObject* owner() const { return static_cast<PhysxObject*>(getUserPointer()); }
    void setOwner(PhysxObject* object) { setUserPointer(object); }

    // Mass 0: infinite mass and inertia; never pushed, yet still drifting at its velocity.
    // A positive mass makes it an ordinary dynamic body again (inertia (1, 1, 1)).
    void setMass(float mass);
    bool isImmovable() const { return immovable; }

    // With gravity off a body keeps its velocity; an immovable body with gravity on speeds up.
    void setGravityEnabled(bool enabled, const btVector3& gravity);

    void setVelocity(const btVector3& velocity);
    btVector3 getVelocity() const;

    // Moves an immovable body one step along its drift (the engine calls this before each step).
    void drift(float timeStep, const btVector3& gravity);

    // Filter word 0: this body's category. Filter word 1: the categories whose touches it wants reported.
    std::uint32_t collisionType = 0;
    std::uint32_t collisionMask = 0;

    // Set on the capsule of a character controller.
    CharacterController* controller = nullptr;

    // Never reused within a run, unlike addresses: identifies a pair of bodies across steps.
    const std::uint32_t serial;

    // Bodies currently allocated, for leak checks.
    static int alive();

private:
    void keepAwakeWhileDrifting();

    bool immovable = false;
    bool gravityEnabled = true;
    btVector3 driftVelocity{0.0f, 0.0f, 0.0f};
};
