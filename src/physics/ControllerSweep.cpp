#include "physics/ControllerSweep.h"

#include "physics/PhysicsBody.h"

#include <algorithm>

namespace {

// Every body blocks, whatever its collision words; only the mover is let through.
class ClosestNotMe : public btCollisionWorld::ClosestConvexResultCallback {
public:
    ClosestNotMe(const btTransform& from, const btTransform& to, const btCollisionObject* self)
        : ClosestConvexResultCallback(from.getOrigin(), to.getOrigin())
        , self(self)
    {
    }

    bool needsCollision(btBroadphaseProxy* proxy) const override
    {
        return proxy->m_clientObject != self;
    }

    btScalar addSingleResult(btCollisionWorld::LocalConvexResult& result, bool normalInWorldSpace) override
    {
        if (result.m_hitCollisionObject == self)
            return 1.0f;
        return ClosestConvexResultCallback::addSingleResult(result, normalInWorldSpace);
    }

private:
    const btCollisionObject* self;
};

class OverlapCollector : public btCollisionWorld::ContactResultCallback {
public:
    OverlapCollector(const btCollisionObject* self, std::vector<PhysicsBody*>& overlaps)
        : self(self)
        , overlaps(overlaps)
    {
    }

    bool needsCollision(btBroadphaseProxy* proxy) const override
    {
        return proxy->m_clientObject != self;
    }

    btScalar addSingleResult(btManifoldPoint& point, const btCollisionObjectWrapper* wrapper0, int, int,
                             const btCollisionObjectWrapper* wrapper1, int, int) override
    {
        if (point.getDistance() >= 0.0f)
            return 0.0f;
        const btCollisionObject* a = wrapper0->getCollisionObject();
        const btCollisionObject* other = a == self ? wrapper1->getCollisionObject() : a;
        auto* body = const_cast<PhysicsBody*>(static_cast<const PhysicsBody*>(other));
        if (std::find(overlaps.begin(), overlaps.end(), body) == overlaps.end())
            overlaps.push_back(body);
        return 0.0f;
    }

private:
    const btCollisionObject* self;
    std::vector<PhysicsBody*>& overlaps;
};

} // namespace

SweepHit sweepClosest(btCollisionWorld& world, const btConvexShape& shape, const btTransform& from,
                      const btTransform& to, const btCollisionObject* self)
{
    ClosestNotMe callback(from, to, self);
    world.convexSweepTest(&shape, from, to, callback);
    SweepHit hit;
    if (!callback.hasHit())
        return hit;
    hit.body = const_cast<PhysicsBody*>(static_cast<const PhysicsBody*>(callback.m_hitCollisionObject));
    hit.fraction = callback.m_closestHitFraction;
    hit.point = callback.m_hitPointWorld;
    hit.normal = callback.m_hitNormalWorld;
    return hit;
}

void findOverlaps(btCollisionWorld& world, btCollisionObject& self, std::vector<PhysicsBody*>& overlaps)
{
    OverlapCollector collector(&self, overlaps);
    world.contactTest(&self, collector);
}
