#pragma once

#include <btBulletCollisionCommon.h>

#include <vector>

class PhysicsBody;

// The closest body a moving shape meets between two points, leaving out the mover's own body.
// A body the shape already overlaps blocks only a move that goes deeper into it.
struct SweepHit {
    PhysicsBody* body = nullptr;
    // Part of the way travelled when the shapes meet, 0 to 1.
    btScalar fraction = 1.0f;
    btVector3 point{0.0f, 0.0f, 0.0f};
    // The hit body's surface normal, pointing back at the mover.
    btVector3 normal{0.0f, 0.0f, 0.0f};
};

SweepHit sweepClosest(btCollisionWorld& world, const btConvexShape& shape, const btTransform& from,
                      const btTransform& to, const btCollisionObject* self);

// Bodies that the object overlaps where it stands (touching at a distance is not overlapping).
void findOverlaps(btCollisionWorld& world, btCollisionObject& self, std::vector<PhysicsBody*>& overlaps);
