#include "physics/PhysxObject.h"

#include "physics/BulletMath.h"
#include "physics/ConvexHull.h"
#include "physics/PhysicsBody.h"
#include "physics/PhysicsEngine.h"
#include "scene/Angles.h"

#include <btBulletDynamicsCommon.h>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#include <cmath>

namespace {

// Moves a body outside a step; the interpolation pose follows, so a teleport is not taken for
// a velocity by the next step.
void placeBody(PhysicsEngine& engine, PhysicsBody& body, const btTransform& pose)
{
    body.setWorldTransform(pose);
    body.setInterpolationWorldTransform(pose);
    engine.refreshBody(&body);
}

} // namespace

PhysxObject::PhysxObject(std::shared_ptr<Model> model, std::shared_ptr<PhysicsEngine> engine)
    : Drawable(std::move(model))
    , engine(std::move(engine))
{
}

PhysxObject::~PhysxObject() = default;

glm::mat4 PhysxObject::getModelMatrix()
{
    PhysicsBody* body = getActor();
    if (!body)
        return glm::scale(glm::mat4(1.0f), scale);
    float pose[16];
    body->getWorldTransform().getOpenGLMatrix(pose);
    return glm::make_mat4(pose) * glm::scale(glm::mat4(1.0f), scale);
}

void PhysxObject::setPosition(glm::vec3 value)
{
    PhysicsBody* body = getActor();
    if (!body)
        return;
    btTransform pose = body->getWorldTransform();
    pose.setOrigin(toBullet(value));
    placeBody(*engine, *body, pose);
}

void PhysxObject::setRotation(glm::vec3 degrees)
{
    PhysicsBody* body = getActor();
    if (!body)
        return;
    const glm::vec3 half = degrees * degreesToRadians * 0.5f;
    const btQuaternion qX(std::sin(half.x), 0.0f, 0.0f, std::cos(half.x));
    const btQuaternion qY(0.0f, std::sin(half.y), 0.0f, std::cos(half.y));
    const btQuaternion qZ(0.0f, 0.0f, std::sin(half.z), std::cos(half.z));
    btTransform pose = body->getWorldTransform();
    pose.setRotation(qX * qY * qZ);
    placeBody(*engine, *body, pose);
}

void PhysxObject::setScale(glm::vec3 value)
{
    scale = value;
    for (auto& shape : shapes)
        shape->setLocalScaling(toBullet(value));

    PhysicsBody* body = getActor();
    if (!body)
        return;
    // A compound keeps a tree of its children's bounds, which must follow their new size.
    if (body->getCollisionShape()->isCompound()) {
        auto* compound = static_cast<btCompoundShape*>(body->getCollisionShape());
        const int children = compound->getNumChildShapes();
        for (int i = 0; i < children; ++i)
            compound->updateChildTransform(i, compound->getChildTransform(i), i == children - 1);
    }
    engine->refreshBody(body);
}

glm::vec3 PhysxObject::getPosition()
{
    PhysicsBody* body = getActor();
    return body ? toGlm(body->getWorldTransform().getOrigin()) : position;
}

void PhysxObject::destroy()
{
    if (destroyed)
        return;
    if (PhysicsBody* body = getActor())
        engine->pendingRemovals.push_back(body);
    destroyed = true;
}

void PhysxObject::setCollisionMask(std::uint32_t mask)
{
    collisionMask = mask;
    PhysicsBody* body = getActor();
    if (!body)
        return;
    // The words belong to the shapes this object made: a body that carries none of them (the
    // player's capsule) keeps all-zero words and never shows up in the touch report.
    if (!shapes.empty()) {
        body->collisionType = collisionType;
        body->collisionMask = mask;
    }
    body->setOwner(this);
}

void PhysxObject::setGravityEnabled(bool enabled)
{
    if (PhysicsBody* body = getActor())
        body->setGravityEnabled(enabled, toBullet(engine->gravity));
}

void PhysxObject::setMass(float mass)
{
    if (PhysicsBody* body = getActor())
        body->setMass(mass);
}

void PhysxObject::setLinearVelocity(glm::vec3 velocity)
{
    if (PhysicsBody* body = getActor())
        body->setVelocity(toBullet(velocity));
}

glm::vec3 PhysxObject::getLinearVelocity()
{
    PhysicsBody* body = getActor();
    return body ? toGlm(body->getVelocity()) : glm::vec3(0.0f);
}

void PhysxObject::makeImmovable()
{
    setGravityEnabled(false);
    setMass(0.0f);
}
