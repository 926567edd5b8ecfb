#pragma once

#include <btBulletCollisionCommon.h>
#include <BulletCollision/CollisionShapes/btConvexPointCloudShape.h>

#include <glm/glm.hpp>

#include <memory>
#include <vector>

class Mesh;

// The most corners a collision hull keeps: enough to look like its mesh, few enough to stay fast.
constexpr int maxHullVertices = 50;

// The collision hull of one mesh: its corners in model space. Cooked once and shared by every
// shape made from the mesh; each shape reads these points through its own scale.
struct ConvexHull {
    btAlignedObjectArray<btVector3> points;
};

// The hull of a point cloud, reduced to at most maxHullVertices corners; null when the points
// do not span a volume (fewer than four points off one plane).
std::shared_ptr<ConvexHull> cookConvexHull(const std::vector<glm::vec3>& positions);

// The mesh's hull from its cache, cooked from its positions on first use. Null (and nothing
// cached) when the mesh has no volume.
std::shared_ptr<ConvexHull> getConvexMesh(Mesh& mesh);

// A shape over a shared hull with its own scale. The shape reads the hull's points in place,
// so the caller keeps the hull alive as long as the shape.
std::unique_ptr<btConvexPointCloudShape> makeHullShape(ConvexHull& hull, glm::vec3 scale);
