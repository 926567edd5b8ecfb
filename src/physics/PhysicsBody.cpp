#include "physics/PhysicsBody.h"

namespace {

std::uint32_t nextSerial = 0;
int aliveBodies = 0;

} // namespace

PhysicsBody::PhysicsBody(btCollisionShape* shape, float mass, const btVector3& inertia)
    : btRigidBody(btRigidBodyConstructionInfo(mass > 0.0f ? mass : 0.0f, nullptr, shape, inertia))
    , serial(nextSerial++)
{
    ++aliveBodies;
    if (mass <= 0.0f)
        setMass(0.0f);
}

PhysicsBody::~PhysicsBody()
{
    --aliveBodies;
}

int PhysicsBody::alive()
{
    return aliveBodies;
}

void PhysicsBody::setMass(float mass)
{
    const btVector3 velocity = getVelocity();
    if (mass <= 0.0f) {
        immovable = true;
        setMassProps(0.0f, btVector3(0.0f, 0.0f, 0.0f));
        // Else the solver still turns it through the inertia it had.
        updateInertiaTensor();
        // setMassProps marks a mass-0 body static; ours is kinematic so that it may still move.
        setCollisionFlags((getCollisionFlags() & ~CF_STATIC_OBJECT) | CF_KINEMATIC_OBJECT);
        driftVelocity = velocity;
        setLinearVelocity(btVector3(0.0f, 0.0f, 0.0f));
        setAngularVelocity(btVector3(0.0f, 0.0f, 0.0f));
    } else {
        immovable = false;
        setCollisionFlags(getCollisionFlags() & ~(CF_STATIC_OBJECT | CF_KINEMATIC_OBJECT));
        setMassProps(mass, btVector3(1.0f, 1.0f, 1.0f));
        updateInertiaTensor();
        // The gravity force is stored as mass times acceleration.
        setGravity(getGravity());
        setLinearVelocity(velocity);
        driftVelocity.setZero();
    }
    keepAwakeWhileDrifting();
}

void PhysicsBody::setGravityEnabled(bool enabled, const btVector3& gravity)
{
    gravityEnabled = enabled;
    if (enabled) {
        setFlags(getFlags() & ~BT_DISABLE_WORLD_GRAVITY);
        setGravity(gravity);
    } else {
        setFlags(getFlags() | BT_DISABLE_WORLD_GRAVITY);
        setGravity(btVector3(0.0f, 0.0f, 0.0f));
    }
    keepAwakeWhileDrifting();
}

void PhysicsBody::setVelocity(const btVector3& velocity)
{
    if (immovable) {
        driftVelocity = velocity;
        keepAwakeWhileDrifting();
    } else {
        setLinearVelocity(velocity);
        activate(true);
    }
}

btVector3 PhysicsBody::getVelocity() const
{
    return immovable ? driftVelocity : getLinearVelocity();
}

void PhysicsBody::drift(float timeStep, const btVector3& gravity)
{
    if (!immovable)
        return;
    if (gravityEnabled)
        driftVelocity += gravity * timeStep;
    if (driftVelocity.isZero())
        return;
    btTransform pose = getWorldTransform();
    pose.getOrigin() += driftVelocity * timeStep;
    // The interpolation pose stays behind, so Bullet sees the drift as this body's velocity.
    setWorldTransform(pose);
}

void PhysicsBody::keepAwakeWhileDrifting()
{
    // A drifting body must never fall asleep: asleep, its bounds would no longer follow it.
    const bool drifting = immovable && (gravityEnabled || !driftVelocity.isZero());
    if (drifting) {
        forceActivationState(DISABLE_DEACTIVATION);
    } else {
        if (getActivationState() == DISABLE_DEACTIVATION)
            forceActivationState(ACTIVE_TAG);
        activate(true);
    }
}
