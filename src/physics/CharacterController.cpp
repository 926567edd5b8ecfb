#include "physics/CharacterController.h"

#include "physics/BulletMath.h"
#include "physics/ControllerSweep.h"
#include "physics/PhysicsBody.h"
#include "physics/PhysicsEngine.h"

#include <btBulletDynamicsCommon.h>

#include <algorithm>

namespace {

// Steeper than 45 degrees counts as a side.
constexpr btScalar slopeLimit = 0.707f;

unsigned classify(const btVector3& normal)
{
    if (normal.z() > slopeLimit)
        return COLLIDED_BELOW;
    if (normal.z() < -slopeLimit)
        return COLLIDED_ABOVE;
    return COLLIDED_SIDES;
}

} // namespace

CharacterController::CharacterController(std::shared_ptr<PhysicsEngine> engine, const CharacterControllerDesc& desc)
    : engine(std::move(engine))
    , radius(desc.radius)
    , height(desc.height)
    , contactOffset(desc.contactOffset)
    , material(desc.material)
    , hitReport(desc.hitReport)
    , capsule(std::make_unique<btCapsuleShapeZ>(desc.radius, desc.height))
{
    body = std::make_unique<PhysicsBody>(capsule.get(), 0.0f, btVector3(0.0f, 0.0f, 0.0f));
    body->setGravityEnabled(false, btVector3(0.0f, 0.0f, 0.0f));
    body->setFriction(material.dynamicFriction);
    body->setRestitution(material.restitution);
    body->controller = this;
    this->engine->addBody(body.get());
    setPosition(desc.position);
}

CharacterController::~CharacterController()
{
    engine->forgetBody(body.get());
}

unsigned CharacterController::move(glm::vec3 displacement, float minDistance, float)
{
    btVector3 remaining = toBullet(displacement);
    if (!(remaining.length() >= minDistance) || remaining.isZero())
        return 0;

    hits.clear();
    btCollisionWorld& world = engine->getWorld();

    // Whatever moved into the capsule since the last move is touched even if this move leaves it.
    overlaps.clear();
    findOverlaps(world, *body, overlaps);
    for (PhysicsBody* other : overlaps)
        touch(other, getPosition(), glm::vec3(0.0f), toGlm(remaining.normalized()), remaining.length());

    unsigned collisions = 0;
    btTransform pose = body->getWorldTransform();
    for (int i = 0; i <= maxSlides; ++i) {
        const btScalar length = remaining.length();
        if (!(length >= minDistance) || length <= 0.0f)
            break;
        const btVector3 direction = remaining / length;

        btTransform target = pose;
        target.getOrigin() += remaining;
        const SweepHit hit = sweepClosest(world, *capsule, pose, target, body.get());
        if (!hit.body) {
            pose = target;
            break;
        }

        // Stop the contact offset short of the hit, then slide along the surface with what is left.
        const btScalar travel = std::max<btScalar>(0.0f, hit.fraction * length - contactOffset);
        pose.getOrigin() += direction * travel;
        touch(hit.body, toGlm(hit.point), toGlm(hit.normal), toGlm(direction), length);
        collisions |= classify(hit.normal);

        const btVector3 rest = direction * (length - travel);
        remaining = rest - hit.normal * rest.dot(hit.normal);
    }

    body->setWorldTransform(pose);
    engine->refreshBody(body.get());
    report();
    return collisions;
}

void CharacterController::setPosition(glm::vec3 position)
{
    btTransform pose;
    pose.setIdentity();
    pose.setOrigin(toBullet(position));
    body->setWorldTransform(pose);
    body->setInterpolationWorldTransform(pose);
    engine->refreshBody(body.get());
}

glm::vec3 CharacterController::getPosition() const
{
    return toGlm(body->getWorldTransform().getOrigin());
}

void CharacterController::touch(PhysicsBody* other, glm::vec3 point, glm::vec3 normal, glm::vec3 direction,
                                float length)
{
    for (const ControllerHit& hit : hits)
        if (hit.actor == other)
            return;
    ControllerHit hit;
    hit.controller = this;
    hit.actor = other;
    hit.worldPos = point;
    hit.worldNormal = normal;
    hit.dir = direction;
    hit.length = length;
    hits.push_back(hit);
}

void CharacterController::report()
{
    if (!hitReport)
        return;
    // A report may move this controller again and so add hits: the ones reported now go to a
    // list of their own. The two lists hand their storage back and forth, so no move allocates.
    std::vector<ControllerHit> found;
    found.swap(hits);
    hits.swap(spareHits);
    for (const ControllerHit& hit : found) {
        if (hit.actor->controller)
            hitReport->onControllerHit(hit);
        else
            hitReport->onShapeHit(hit);
    }
    found.clear();
    if (found.capacity() > spareHits.capacity())
        spareHits.swap(found);
}
