#include "physics/PhysicsEngine.h"

#include "physics/BulletMath.h"
#include "physics/CollisionFilter.h"
#include "physics/PhysicsBody.h"
#include "physics/PhysxObject.h"
#include "run/StepContext.h"

#include <btBulletDynamicsCommon.h>

#include <algorithm>

namespace {

std::uint64_t pairKey(const PhysicsBody* a, const PhysicsBody* b)
{
    const std::uint64_t lo = std::min(a->serial, b->serial);
    const std::uint64_t hi = std::max(a->serial, b->serial);
    return (lo << 32) | hi;
}

} // namespace

PhysicsEngine::PhysicsEngine()
    : configuration(std::make_unique<btDefaultCollisionConfiguration>())
    , dispatcher(std::make_unique<AllPairsDispatcher>(configuration.get()))
    , broadphase(std::make_unique<btDbvtBroadphase>())
    , pairFilter(std::make_unique<AllPairsFilter>())
    , solver(std::make_unique<btSequentialImpulseConstraintSolver>())
    , world(std::make_unique<btDiscreteDynamicsWorld>(dispatcher.get(), broadphase.get(), solver.get(),
                                                      configuration.get()))
{
    world->setGravity(toBullet(gravity));
    // Bounds stretched ahead of a moving body along its motion: a falling drop then needs a new
    // place in the bounds tree every few steps instead of every step (a third of the step cost
    // with a thousand drops).
    static_cast<btDbvtBroadphase*>(broadphase.get())->setVelocityPrediction(4.0f);
    world->getPairCache()->setOverlapFilterCallback(pairFilter.get());
    // Resting bodies keep their bounds; whoever moves one outside a step refreshes it.
    world->setForceUpdateAllAabbs(false);
}

PhysicsEngine::~PhysicsEngine()
{
    // Objects hold the engine, so normally nothing is left; whatever is, leaves in reverse order.
    for (int i = world->getNumCollisionObjects() - 1; i >= 0; --i) {
        btCollisionObject* object = world->getCollisionObjectArray()[i];
        static_cast<PhysicsBody*>(object)->setOwner(nullptr);
        world->removeCollisionObject(object);
    }
}

void PhysicsEngine::update(const StepContext& context)
{
    // A clock that stands still or jumps back adds nothing. Every whole step gathered is taken,
    // so the world keeps real time at any frame rate down to one frame per backlog.
    const float frameTime = context.deltaTime;
    if (frameTime > 0.0f)
        accumulator = std::min(accumulator + frameTime, maxBacklog);
    // The small allowance keeps a backlog of exactly six steps from losing its last one to rounding.
    const int due = std::min(maxStepsPerFrame, static_cast<int>((accumulator + 1e-6f) / timeStep));
    accumulator = std::max(0.0f, accumulator - static_cast<float>(due) * timeStep);
    // Bodies destroyed by a step's touches leave before the next step, as they would between frames.
    removePending();
    for (int i = 0; i < due; ++i) {
        if (i > 0)
            removePending();
        step();
    }
}

void PhysicsEngine::step()
{
    const btVector3 g = toBullet(gravity);
    btCollisionObjectArray& objects = world->getCollisionObjectArray();
    for (int i = 0; i < objects.size(); ++i)
        static_cast<PhysicsBody*>(objects[i])->drift(timeStep, g);

    // Exactly one internal step of timeStep (no substeps, no interpolation).
    world->stepSimulation(timeStep, 0);
    ++steps;
    reportTouches();
}

void PhysicsEngine::addBody(PhysicsBody* body)
{
    if (!body || contains(body))
        return;
    // All filter bits: the pair filter above decides, and it lets every pair through.
    world->addRigidBody(body, -1, -1);
}

void PhysicsEngine::forgetBody(PhysicsBody* body)
{
    if (!body)
        return;
    pendingRemovals.erase(std::remove(pendingRemovals.begin(), pendingRemovals.end(), body), pendingRemovals.end());
    for (Touch& touch : newTouches) {
        if (touch.first == body || touch.second == body)
            touch.first = touch.second = nullptr;
    }
    body->setOwner(nullptr);
    if (contains(body))
        world->removeRigidBody(body);
}

void PhysicsEngine::refreshBody(PhysicsBody* body)
{
    if (!body || !contains(body))
        return;
    body->activate(true);
    world->updateSingleAabb(body);
}

bool PhysicsEngine::contains(const PhysicsBody* body) const
{
    return body && body->getBroadphaseHandle() != nullptr;
}

int PhysicsEngine::bodyCount() const
{
    return world->getNumCollisionObjects();
}

void PhysicsEngine::removePending()
{
    for (PhysicsBody* body : pendingRemovals) {
        if (contains(body))
            world->removeRigidBody(body);
    }
    pendingRemovals.clear();
}

void PhysicsEngine::reportTouches()
{
    // Several manifolds may join the same two bodies (one per child of a compound shape):
    // the pair counts once, in the order of its first manifold.
    touchingNow.clear();
    newTouches.clear();
    const int manifolds = dispatcher->getNumManifolds();
    for (int i = 0; i < manifolds; ++i) {
        const btPersistentManifold* manifold = dispatcher->getManifoldByIndexInternal(i);
        if (manifold->getNumContacts() == 0)
            continue;
        auto* first = const_cast<PhysicsBody*>(static_cast<const PhysicsBody*>(manifold->getBody0()));
        auto* second = const_cast<PhysicsBody*>(static_cast<const PhysicsBody*>(manifold->getBody1()));
        touchingNow.push_back(Touch{first, second, pairKey(first, second), touchingNow.size()});
    }
    // Sorted by pair, first manifold first, so that each pair is looked at once in its first
    // manifold's place; sorted vectors keep their storage from step to step, sets would not.
    std::sort(touchingNow.begin(), touchingNow.end(),
              [](const Touch& a, const Touch& b) { return a.key != b.key ? a.key < b.key : a.order < b.order; });
    touchingNow.erase(std::unique(touchingNow.begin(), touchingNow.end(),
                                  [](const Touch& a, const Touch& b) { return a.key == b.key; }),
                      touchingNow.end());
    for (const Touch& touch : touchingNow) {
        if (std::binary_search(touching.begin(), touching.end(), touch.key))
            continue;
        if (reportsTouch(touch.first->collisionType, touch.first->collisionMask, touch.second->collisionType,
                         touch.second->collisionMask))
            newTouches.push_back(touch);
    }
    std::sort(newTouches.begin(), newTouches.end(), [](const Touch& a, const Touch& b) { return a.order < b.order; });
    touching.clear();
    for (const Touch& touch : touchingNow)
        touching.push_back(touch.key);

    // An onHit may end the other object; forgetBody then clears its entries here.
    for (std::size_t i = 0; i < newTouches.size(); ++i) {
        if (!newTouches[i].first || !newTouches[i].second)
            continue;
        PhysxObject* a = newTouches[i].first->owner();
        PhysxObject* b = newTouches[i].second->owner();
        if (!a || !b)
            continue;
        a->onHit(b);
        if (newTouches[i].first && newTouches[i].second && newTouches[i].second->owner() == b)
            b->onHit(a);
    }
    newTouches.clear();
}
