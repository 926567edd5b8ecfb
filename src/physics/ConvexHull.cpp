#include "physics/ConvexHull.h"

#include "render/Mesh.h"

#include <LinearMath/btConvexHull.h>

#include <algorithm>
#include <cmath>

namespace {

// Whether the points span a volume, measured against their size so that both pebbles and
// trees are judged alike.
bool spansVolume(const std::vector<btVector3>& points)
{
    if (points.size() < 4)
        return false;
    const btVector3 origin = points[0];

    std::size_t far = 0;
    for (std::size_t i = 1; i < points.size(); ++i)
        if (points[i].distance2(origin) > points[far].distance2(origin))
            far = i;
    const btScalar size = points[far].distance(origin);
    if (!(size > 0.0f))
        return false;
    const btScalar tolerance = size * 1e-5f;
    const btVector3 axis = (points[far] - origin) / size;

    std::size_t side = 0;
    btScalar sideDistance = 0.0f;
    for (std::size_t i = 1; i < points.size(); ++i) {
        const btScalar d = (points[i] - origin).cross(axis).length();
        if (d > sideDistance) {
            sideDistance = d;
            side = i;
        }
    }
    if (sideDistance <= tolerance)
        return false;

    const btVector3 normal = (points[far] - origin).cross(points[side] - origin).normalized();
    btScalar height = 0.0f;
    for (const btVector3& p : points)
        height = std::max(height, std::fabs((p - origin).dot(normal)));
    return height > tolerance;
}

} // namespace

std::shared_ptr<ConvexHull> cookConvexHull(const std::vector<glm::vec3>& positions)
{
    std::vector<btVector3> points;
    points.reserve(positions.size());
    for (const glm::vec3& p : positions) {
        if (std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z))
            points.emplace_back(p.x, p.y, p.z);
    }
    // Bullet's hull library turns flat clouds into thin boxes; a flat mesh gets no hull instead.
    if (!spansVolume(points))
        return nullptr;

    HullDesc description;
    description.mFlags = QF_TRIANGLES;
    description.mVcount = static_cast<unsigned>(points.size());
    description.mVertices = points.data();
    description.mVertexStride = sizeof(btVector3);
    description.mMaxVertices = maxHullVertices;

    HullLibrary library;
    HullResult result;
    if (library.CreateConvexHull(description, result) != QE_OK || result.mNumOutputVertices < 4) {
        library.ReleaseResult(result);
        return nullptr;
    }

    auto hull = std::make_shared<ConvexHull>();
    const int count = std::min(static_cast<int>(result.mNumOutputVertices), maxHullVertices);
    hull->points.resize(count);
    for (int i = 0; i < count; ++i)
        hull->points[i] = result.m_OutputVertices[i];
    library.ReleaseResult(result);
    return hull;
}

std::shared_ptr<ConvexHull> getConvexMesh(Mesh& mesh)
{
    if (!mesh.convexMesh)
        mesh.convexMesh = cookConvexHull(mesh.positions);
    return mesh.convexMesh;
}

std::unique_ptr<btConvexPointCloudShape> makeHullShape(ConvexHull& hull, glm::vec3 scale)
{
    return std::make_unique<btConvexPointCloudShape>(&hull.points[0], hull.points.size(),
                                                     btVector3(scale.x, scale.y, scale.z));
}
