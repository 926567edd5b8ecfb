#include "PhysicsFixture.h"

#include "physics/ConvexHull.h"

#include <glm/gtc/matrix_transform.hpp>

#include <cmath>

namespace physicstest {
namespace {

using PhysxObjectTest = PhysicsTest;

// Points on an ellipsoid with semi-axes (3, 2, 1), spread evenly.
std::shared_ptr<Mesh> ellipsoidMesh(int count)
{
    auto mesh = std::make_shared<Mesh>(glm::mat4(1.0f), glm::mat4(1.0f));
    for (int i = 0; i < count; ++i) {
        const float z = 1.0f - 2.0f * (i + 0.5f) / count;
        const float r = std::sqrt(1.0f - z * z);
        const float a = 2.39996323f * i;
        mesh->positions.emplace_back(3.0f * r * std::cos(a), 2.0f * r * std::sin(a), z);
    }
    // The poles of the long axis, so the hull's reach along x is known exactly.
    mesh->positions.emplace_back(3.0f, 0.0f, 0.0f);
    mesh->positions.emplace_back(-3.0f, 0.0f, 0.0f);
    return mesh;
}

std::shared_ptr<Mesh> flatMesh()
{
    auto mesh = std::make_shared<Mesh>(glm::mat4(1.0f), glm::mat4(1.0f));
    for (int i = 0; i < 20; ++i)
        mesh->positions.emplace_back(std::cos(0.3f * i), std::sin(0.3f * i), 0.5f);
    return mesh;
}

btConvexPointCloudShape& hullShape(PhysxObject& object, std::size_t i)
{
    return static_cast<btConvexPointCloudShape&>(*object.shapes.at(i));
}

// --- shapes and hulls -------------------------------------------------------------------------

TEST_F(PhysxObjectTest, ThreeMeshesGiveThreeHullsSharedByTheNextObject)
{
    auto model = modelOf({boxMesh(glm::vec3(1.0f), glm::vec3(-3.0f, 0.0f, 0.0f)), boxMesh(glm::vec3(0.5f)),
                          boxMesh(glm::vec3(1.0f), glm::vec3(3.0f, 0.0f, 0.0f))});
    auto first = probe("first", 1, 1, glm::vec3(0.0f), model);
    ASSERT_EQ(first->shapes.size(), 3u);
    EXPECT_TRUE(first->getActor()->getCollisionShape()->isCompound());
    for (std::size_t i = 0; i < 3; ++i) {
        ASSERT_NE(model->meshes[i]->convexMesh, nullptr);
        EXPECT_EQ(hullShape(*first, i).getUnscaledPoints(), &model->meshes[i]->convexMesh->points[0])
            << "shape " << i << " belongs to mesh " << i;
    }

    const ConvexHull* cooked = model->meshes[1]->convexMesh.get();
    auto second = probe("second", 1, 1, glm::vec3(0.0f, 10.0f, 0.0f), model);
    second->setScale(glm::vec3(2.0f));
    EXPECT_EQ(model->meshes[1]->convexMesh.get(), cooked) << "cooked once";
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(hullShape(*second, i).getUnscaledPoints(), hullShape(*first, i).getUnscaledPoints());
    EXPECT_EQ(hullShape(*first, 0).getLocalScaling(), btVector3(1.0f, 1.0f, 1.0f)) << "each shape has its own scale";
}

TEST_F(PhysxObjectTest, HullKeepsAtMostFiftyCornersAndTheMeshsReach)
{
    auto mesh = ellipsoidMesh(600);
    const std::shared_ptr<ConvexHull> hull = getConvexMesh(*mesh);
    ASSERT_NE(hull, nullptr);
    EXPECT_LE(hull->points.size(), maxHullVertices);
    EXPECT_GE(hull->points.size(), 20) << "a round mesh needs many corners to stay round";

    glm::vec3 low(1e9f);
    glm::vec3 high(-1e9f);
    for (int i = 0; i < hull->points.size(); ++i) {
        const glm::vec3 p(hull->points[i].x(), hull->points[i].y(), hull->points[i].z());
        low = glm::min(low, p);
        high = glm::max(high, p);
        // Corners are points of the mesh, not invented ones.
        float nearest = 1e9f;
        for (const glm::vec3& q : mesh->positions)
            nearest = std::min(nearest, glm::length(p - q));
        EXPECT_LT(nearest, kPositionTolerance);
    }
    EXPECT_NEAR(high.x, 3.0f, kPositionTolerance);
    EXPECT_NEAR(low.x, -3.0f, kPositionTolerance);
    EXPECT_GT(high.y, 1.9f);
    EXPECT_GT(high.z, 0.95f);
    EXPECT_LT(low.z, -0.95f);
}

TEST_F(PhysxObjectTest, MeshWithoutVolumeGetsNoHullAndNoShape)
{
    auto tiny = std::make_shared<Mesh>(glm::mat4(1.0f), glm::mat4(1.0f));
    tiny->positions = {glm::vec3(0.0f), glm::vec3(1.0f, 0.0f, 0.0f), glm::vec3(0.0f, 1.0f, 0.0f)};
    auto flat = flatMesh();
    EXPECT_EQ(getConvexMesh(*tiny), nullptr);
    EXPECT_EQ(getConvexMesh(*flat), nullptr);
    EXPECT_EQ(flat->convexMesh, nullptr) << "nothing cached";

    auto model = modelOf({flat, boxMesh(glm::vec3(1.0f)), tiny});
    auto object = probe("mixed", 1, 1, glm::vec3(0.0f), model);
    ASSERT_EQ(object->shapes.size(), 1u);
    object->setScale(glm::vec3(3.0f));
    EXPECT_EQ(hullShape(*object, 0).getLocalScaling(), btVector3(3.0f, 3.0f, 3.0f));

    auto nothing = probe("nothing", 1, 1, glm::vec3(0.0f, 20.0f, 0.0f), modelOf({flatMesh()}));
    EXPECT_TRUE(nothing->shapes.empty());
    nothing->setScale(glm::vec3(2.0f));
    steps(2);
    glm::vec3 hit;
    EXPECT_FALSE(rayHit(glm::vec3(-5.0f, 20.0f, 0.0f), glm::vec3(5.0f, 20.0f, 0.0f), hit))
        << "an object without shapes is not in anybody's way";
}

TEST_F(PhysxObjectTest, HullShapeScalesWithTheObject)
{
    auto object = fixed("hull", 1, 1, glm::vec3(0.0f), modelOf({boxMesh(glm::vec3(1.0f))}));
    object->setScale(glm::vec3(3.0f, 1.0f, 1.0f));
    glm::vec3 hit;
    ASSERT_TRUE(rayHit(glm::vec3(-10.0f, 0.0f, 0.0f), glm::vec3(10.0f, 0.0f, 0.0f), hit));
    EXPECT_NEAR(hit.x, -3.0f, kHullMargin + kPositionTolerance);
}

TEST_F(PhysxObjectTest, CompoundFollowsTheScaleOfItsChildren)
{
    auto model = modelOf({boxMesh(glm::vec3(1.0f), glm::vec3(-3.0f, 0.0f, 0.0f)), boxMesh(glm::vec3(1.0f)),
                          boxMesh(glm::vec3(1.0f), glm::vec3(3.0f, 0.0f, 0.0f))});
    auto object = fixed("compound", 1, 1, glm::vec3(0.0f), model);
    object->setScale(glm::vec3(3.0f));
    steps(1);
    // Straight down through the scaled left cube, far outside the unscaled bounds.
    glm::vec3 hit;
    ASSERT_TRUE(rayHit(glm::vec3(-10.0f, 0.0f, 30.0f), glm::vec3(-10.0f, 0.0f, -30.0f), hit));
    EXPECT_NEAR(hit.z, 3.0f, kHullMargin + kPositionTolerance);
}

// --- pose -------------------------------------------------------------------------------------

TEST_F(PhysxObjectTest, BodyLeadsBackToItsObjectAndCarriesItsMaterial)
{
    auto object = probe("object", 16, 398, glm::vec3(0.0f));
    EXPECT_EQ(object->getActor()->owner(), object.get());
    EXPECT_EQ(object->getActor()->collisionType, 16u);
    EXPECT_EQ(object->getActor()->collisionMask, 398u);
    EXPECT_FLOAT_EQ(object->getActor()->getFriction(), 0.5f);
    EXPECT_FLOAT_EQ(object->getActor()->getRestitution(), 0.5f);
}

TEST_F(PhysxObjectTest, SetPositionMovesTheBody)
{
    auto object = fixed("object", 1, 1, glm::vec3(0.0f));
    object->setScale(glm::vec3(2.0f));
    object->setPosition(glm::vec3(4.0f, -5.0f, 6.0f));
    EXPECT_EQ(object->getPosition(), glm::vec3(4.0f, -5.0f, 6.0f));
    EXPECT_EQ(object->position, glm::vec3(0.0f)) << "the field is not the body";
    const glm::mat4 m = object->getModelMatrix();
    EXPECT_EQ(glm::vec3(m[3]), glm::vec3(4.0f, -5.0f, 6.0f));
    EXPECT_FLOAT_EQ(m[0][0], 2.0f) << "the scale is part of the model matrix";

    glm::vec3 hit;
    ASSERT_TRUE(rayHit(glm::vec3(4.0f, -5.0f, 20.0f), glm::vec3(4.0f, -5.0f, -20.0f), hit));
    EXPECT_NEAR(hit.z, 8.0f, kPositionTolerance) << "the shape moved with the body, at once";
}

TEST_F(PhysxObjectTest, SetRotationTurnsTheBodyInDegrees)
{
    auto object = fixed("object", 1, 1, glm::vec3(0.0f));
    object->setRotation(glm::vec3(90.0f, 0.0f, 0.0f));
    const glm::vec4 y = object->getModelMatrix() * glm::vec4(0.0f, 1.0f, 0.0f, 0.0f);
    EXPECT_NEAR(y.x, 0.0f, kPositionTolerance);
    EXPECT_NEAR(y.y, 0.0f, kPositionTolerance);
    EXPECT_NEAR(y.z, 1.0f, kPositionTolerance);
    EXPECT_EQ(object->getRotation(), glm::vec3(0.0f));
}

TEST_F(PhysxObjectTest, RotationTurnsAboutXThenYThenZ)
{
    auto object = fixed("object", 1, 1, glm::vec3(0.0f));
    const glm::vec3 angles(30.0f, -50.0f, 70.0f);
    object->setRotation(angles);
    const glm::mat4 I(1.0f);
    const glm::mat4 expected = glm::rotate(I, glm::radians(angles.x), glm::vec3(1, 0, 0)) *
                               glm::rotate(I, glm::radians(angles.y), glm::vec3(0, 1, 0)) *
                               glm::rotate(I, glm::radians(angles.z), glm::vec3(0, 0, 1));
    const glm::mat4 actual = object->getModelMatrix();
    for (int c = 0; c < 3; ++c)
        for (int r = 0; r < 3; ++r)
            EXPECT_NEAR(actual[c][r], expected[c][r], kPositionTolerance);
}

TEST_F(PhysxObjectTest, ScaleTwoMakesTheBoxFourUnitsWide)
{
    auto box = fixed("box", 1, 1, glm::vec3(0.0f));
    glm::vec3 hit;
    EXPECT_FALSE(rayHit(glm::vec3(-10.0f, 1.5f, 0.0f), glm::vec3(10.0f, 1.5f, 0.0f), hit));

    box->setScale(glm::vec3(2.0f));
    ASSERT_TRUE(rayHit(glm::vec3(-10.0f, 0.0f, 0.0f), glm::vec3(10.0f, 0.0f, 0.0f), hit));
    const float left = hit.x;
    ASSERT_TRUE(rayHit(glm::vec3(10.0f, 0.0f, 0.0f), glm::vec3(-10.0f, 0.0f, 0.0f), hit));
    EXPECT_NEAR(hit.x - left, 4.0f, kPositionTolerance);
    EXPECT_TRUE(rayHit(glm::vec3(-10.0f, 1.5f, 0.0f), glm::vec3(10.0f, 1.5f, 0.0f), hit));
    EXPECT_EQ(box->getScale(), glm::vec3(2.0f));
}

// --- infinite mass ----------------------------------------------------------------------------

TEST_F(PhysxObjectTest, DropFallsAtExactlyItsVelocityAndTouchesTheFloorOnce)
{
    auto floor = fixed("floor", 2, 1, glm::vec3(0.0f), modelOf({boxMesh(glm::vec3(50.0f, 50.0f, 1.0f))}));
    auto drop = fixed("drop", 16, 398, glm::vec3(0.0f, 0.0f, 20.0f), modelOf({boxMesh(glm::vec3(0.1f))}));
    drop->setScale(glm::vec3(2.0f));
    drop->setLinearVelocity(glm::vec3(0.0f, 0.0f, -9.81f));

    steps(60);
    // After one simulated second: 9.81 units, untouched by gravity.
    EXPECT_NEAR(drop->getPosition().z, 20.0f - 9.81f, kPositionTolerance);
    EXPECT_EQ(floor->hits, 0);

    steps(60);
    EXPECT_NEAR(drop->getPosition().z, 20.0f - 2.0f * 9.81f, kPositionTolerance) << "contacts do not slow it";
    EXPECT_EQ(floor->hits, 1);
    EXPECT_EQ(drop->hits, 1);
    EXPECT_EQ(floor->getPosition(), glm::vec3(0.0f)) << "the floor is never pushed";
    EXPECT_EQ(drop->getLinearVelocity(), glm::vec3(0.0f, 0.0f, -9.81f));
}

TEST_F(PhysxObjectTest, ImmovableBodiesAreNeverPushed)
{
    auto tree = fixed("tree", 128, 1, glm::vec3(0.0f), modelOf({boxMesh(glm::vec3(1.0f, 1.0f, 3.0f))}));
    tree->setRotation(glm::vec3(0.0f, 0.0f, 30.0f));
    const glm::mat4 treePose = tree->getModelMatrix();
    auto falling = probe("falling", 1, 1, glm::vec3(0.3f, 0.0f, 6.0f));
    auto ram = fixed("ram", 16, 398, glm::vec3(-5.0f, 0.0f, 0.0f));
    ram->setLinearVelocity(glm::vec3(3.0f, 0.0f, 0.0f));

    steps(180);

    EXPECT_EQ(tree->getModelMatrix(), treePose);
    EXPECT_NEAR(ram->getPosition().x, -5.0f + 9.0f, kPositionTolerance) << "the drift ignores what it meets";
    EXPECT_GT(falling->getPosition().z, 3.0f) << "a dynamic body rests on an immovable one";
}

TEST_F(PhysxObjectTest, ImmovableBodyWithGravityStillFalls)
{
    auto object = fixed("object", 1, 1, glm::vec3(0.0f));
    object->setGravityEnabled(true);
    steps(60);
    EXPECT_NEAR(object->getLinearVelocity().z, -9.81f, kPositionTolerance);
}

TEST_F(PhysxObjectTest, PositiveMassMakesTheBodyDynamicAgain)
{
    auto object = fixed("object", 1, 1, glm::vec3(0.0f, 0.0f, 10.0f));
    object->setLinearVelocity(glm::vec3(1.0f, 0.0f, 0.0f));
    object->setMass(2.0f);
    object->setGravityEnabled(true);
    EXPECT_FALSE(object->getActor()->isImmovable());
    steps(30);
    EXPECT_LT(object->getPosition().z, 10.0f - kPositionTolerance);
    EXPECT_NEAR(object->getPosition().x, 0.5f, kPositionTolerance) << "the velocity carried over";
}

} // namespace
} // namespace physicstest
