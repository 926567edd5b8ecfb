#pragma once

#include <btBulletDynamicsCommon.h>

#include <cstdint>

// The game never suppresses a pair: every overlap is simulated, and only the touch report
// looks at the collision words. Bullet by default drops pairs of two static or kinematic
// bodies in its broadphase (by filter groups fixed when a body enters the world); a drop
// landing on the floor is exactly such a pair, so the filters below replace Bullet's.

// A touch between two bodies is reported when one body's category is among the other's
// reported categories.
inline bool reportsTouch(std::uint32_t typeA, std::uint32_t maskA, std::uint32_t typeB, std::uint32_t maskB)
{
    return (typeA & maskB) != 0 || (maskA & typeB) != 0;
}

// Broadphase: every pair of overlapping bounds becomes a pair, whatever the bodies' kinds.
class AllPairsFilter : public btOverlapFilterCallback {
public:
    bool needBroadphaseCollision(btBroadphaseProxy* proxy0, btBroadphaseProxy* proxy1) const override;
};

// Narrowphase: contacts are computed for static and kinematic pairs too, whenever one body
// of the pair is awake; a pair in which both rest keeps the contacts it had, as two sleeping
// bodies do. The touch report depends on exactly this rule, so it is spelled out here.
class AllPairsDispatcher : public btCollisionDispatcher {
public:
    explicit AllPairsDispatcher(btCollisionConfiguration* configuration);

    bool needsCollision(const btCollisionObject* body0, const btCollisionObject* body1) override;
};
