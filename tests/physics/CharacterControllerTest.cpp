#include "PhysicsFixture.h"

#include "physics/CharacterController.h"

#include <algorithm>

namespace physicstest {
namespace {

// Capsule radius plus the gap it keeps: how far the centre stays from a face it runs into.
constexpr float kStandOff = 0.5f + 0.1f;
// Stopping positions agree to within this across step rates.
constexpr float kStopTolerance = 0.01f;

// Records every hit of every move.
class HitLog : public ControllerHitReport {
public:
    void onShapeHit(const ControllerHit& hit) override { shapes.push_back(hit); }
    void onControllerHit(const ControllerHit& hit) override { controllers.push_back(hit); }
    void onObstacleHit(const ControllerHit& hit) override { obstacles.push_back(hit); }

    int count(const PhysxObject* object) const
    {
        return static_cast<int>(std::count_if(shapes.begin(), shapes.end(),
                                              [&](const ControllerHit& h) { return h.actor->owner() == object; }));
    }

    std::vector<ControllerHit> shapes;
    std::vector<ControllerHit> controllers;
    std::vector<ControllerHit> obstacles;
};

class CharacterControllerTest : public PhysicsTest {
protected:
    std::unique_ptr<CharacterController> makeController(glm::vec3 position)
    {
        CharacterControllerDesc desc;
        desc.position = position;
        desc.hitReport = &hits;
        return std::make_unique<CharacterController>(engine, desc);
    }

    // A box wall whose face towards -x lies at x = face.
    std::shared_ptr<Probe> wallAt(float face, glm::vec3 halfExtents = glm::vec3(1.0f, 100.0f, 100.0f))
    {
        auto wall = fixed("wall", 2, 1, glm::vec3(face + halfExtents.x, 0.0f, 0.0f));
        wall->setScale(halfExtents);
        return wall;
    }

    HitLog hits;
};

TEST_F(CharacterControllerTest, StartsWithThePlayersCapsule)
{
    auto controller = makeController(glm::vec3(1.0f, 2.0f, 3.0f));
    EXPECT_EQ(controller->getPosition(), glm::vec3(1.0f, 2.0f, 3.0f));
    EXPECT_FLOAT_EQ(controller->getRadius(), 0.5f);
    EXPECT_FLOAT_EQ(controller->getHeight(), 0.01f);
    EXPECT_FLOAT_EQ(controller->getContactOffset(), 0.1f);
    EXPECT_EQ(controller->getActor()->collisionType, 0u);
    EXPECT_EQ(controller->getActor()->collisionMask, 0u);
    EXPECT_TRUE(engine->contains(controller->getActor()));
}

TEST_F(CharacterControllerTest, MoveIntoABoxStopsShortByTheContactOffsetAndReportsItOnce)
{
    auto wall = wallAt(5.0f);
    auto controller = makeController(glm::vec3(0.0f));

    const unsigned collisions = controller->move(glm::vec3(10.0f, 0.0f, 0.0f), CharacterController::minMoveDistance, 0.1f);

    EXPECT_NEAR(controller->getPosition().x, 5.0f - kStandOff, kPositionTolerance);
    EXPECT_EQ(collisions, COLLIDED_SIDES);
    ASSERT_EQ(hits.shapes.size(), 1u);
    EXPECT_EQ(hits.shapes[0].actor, wall->getActor());
    EXPECT_EQ(hits.shapes[0].controller, controller.get());
    EXPECT_NEAR(hits.shapes[0].worldNormal.x, -1.0f, kPositionTolerance);

    // Pushing on against the wall reports it again, once per move, without getting closer.
    controller->move(glm::vec3(1.0f, 0.0f, 0.0f), CharacterController::minMoveDistance, 0.1f);
    EXPECT_EQ(hits.count(wall.get()), 2);
    EXPECT_LE(controller->getPosition().x, 5.0f - kStandOff + kPositionTolerance);
}

TEST_F(CharacterControllerTest, MoveAlongAWallSlides)
{
    auto wall = wallAt(5.0f);
    auto controller = makeController(glm::vec3(0.0f));

    controller->move(glm::vec3(10.0f, 10.0f, 0.0f), CharacterController::minMoveDistance, 0.1f);

    EXPECT_LT(controller->getPosition().x, 5.0f - 0.5f);
    EXPECT_GT(controller->getPosition().x, 5.0f - kStandOff - kStopTolerance);
    EXPECT_NEAR(controller->getPosition().y, 10.0f, kStopTolerance) << "the side-long part of the move is kept";
    EXPECT_EQ(hits.count(wall.get()), 1) << "one report however many slides";
}

TEST_F(CharacterControllerTest, SlideIntoACornerStopsInFrontOfBoth)
{
    auto wall = wallAt(5.0f);
    auto side = fixed("side", 2, 1, glm::vec3(0.0f, 4.0f + 1.0f, 0.0f));
    side->setScale(glm::vec3(20.0f, 1.0f, 20.0f));
    auto controller = makeController(glm::vec3(0.0f));

    controller->move(glm::vec3(10.0f, 10.0f, 0.0f), CharacterController::minMoveDistance, 0.1f);

    EXPECT_LT(controller->getPosition().x, 5.0f - 0.5f);
    EXPECT_LT(controller->getPosition().y, 4.0f - 0.5f);
    EXPECT_EQ(hits.count(wall.get()), 1);
    EXPECT_EQ(hits.count(side.get()), 1);
}

TEST_F(CharacterControllerTest, MovesBelowTheMinimumDistanceDoNothing)
{
    auto wall = wallAt(0.5f + 0.05f);
    auto controller = makeController(glm::vec3(0.0f));
    EXPECT_EQ(controller->move(glm::vec3(0.0005f, 0.0f, 0.0f), CharacterController::minMoveDistance, 0.1f), 0u);
    EXPECT_EQ(controller->move(glm::vec3(0.0f), CharacterController::minMoveDistance, 0.1f), 0u);
    EXPECT_EQ(controller->getPosition(), glm::vec3(0.0f));
    EXPECT_TRUE(hits.shapes.empty()) << "not even the wall within reach is touched";
}

TEST_F(CharacterControllerTest, LandingOnAFloorCountsAsBelowAndHittingACeilingAsAbove)
{
    auto floor = fixed("floor", 2, 1, glm::vec3(0.0f, 0.0f, -1.0f));
    floor->setScale(glm::vec3(50.0f, 50.0f, 1.0f));
    auto ceiling = fixed("ceiling", 1, 1, glm::vec3(0.0f, 0.0f, 11.0f));
    ceiling->setScale(glm::vec3(50.0f, 50.0f, 1.0f));
    auto controller = makeController(glm::vec3(0.0f, 0.0f, 5.0f));

    // Bullet's sweep of this almost round capsule may meet a face up to its half height late.
    const float tolerance = 0.005f + kPositionTolerance;
    EXPECT_EQ(controller->move(glm::vec3(0.0f, 0.0f, -10.0f), CharacterController::minMoveDistance, 0.1f),
              COLLIDED_BELOW);
    EXPECT_NEAR(controller->getPosition().z, 0.005f + kStandOff, tolerance);
    EXPECT_EQ(controller->move(glm::vec3(0.0f, 0.0f, 20.0f), CharacterController::minMoveDistance, 0.1f),
              COLLIDED_ABOVE);
    EXPECT_NEAR(controller->getPosition().z, 10.0f - 0.005f - kStandOff, tolerance);
}

TEST_F(CharacterControllerTest, FastMoveDoesNotTunnelThroughAThinWall)
{
    auto wall = wallAt(50.0f, glm::vec3(0.05f, 20.0f, 20.0f));
    auto controller = makeController(glm::vec3(0.0f));
    controller->move(glm::vec3(1000.0f, 0.0f, 0.0f), CharacterController::minMoveDistance, 0.1f);
    EXPECT_NEAR(controller->getPosition().x, 50.0f - kStandOff, kPositionTolerance);
}

TEST_F(CharacterControllerTest, SetPositionTeleportsThroughWallsWithoutHits)
{
    auto wall = wallAt(5.0f);
    auto controller = makeController(glm::vec3(0.0f));
    controller->setPosition(glm::vec3(20.0f, 0.0f, 0.0f));
    EXPECT_EQ(controller->getPosition(), glm::vec3(20.0f, 0.0f, 0.0f));
    EXPECT_TRUE(hits.shapes.empty());
    controller->move(glm::vec3(-20.0f, 0.0f, 0.0f), CharacterController::minMoveDistance, 0.1f);
    EXPECT_NEAR(controller->getPosition().x, 7.0f + kStandOff, kPositionTolerance) << "the new place counts at once";
}

TEST_F(CharacterControllerTest, DropsAndPollenBlockAndAreReportedLikeTrees)
{
    auto drop = fixed("drop", 16, 398, glm::vec3(5.0f, 0.0f, 0.0f), modelOf({boxMesh(glm::vec3(0.2f))}));
    auto pollen = fixed("pollen", 32, 1, glm::vec3(5.0f, 10.0f, 0.0f), modelOf({boxMesh(glm::vec3(0.2f))}));
    auto controller = makeController(glm::vec3(0.0f));

    controller->move(glm::vec3(10.0f, 0.0f, 0.0f), CharacterController::minMoveDistance, 0.1f);
    EXPECT_NEAR(controller->getPosition().x, 5.0f - 0.2f - kHullMargin - kStandOff, kStopTolerance);
    EXPECT_EQ(hits.count(drop.get()), 1);

    controller->setPosition(glm::vec3(0.0f, 10.0f, 0.0f));
    controller->move(glm::vec3(10.0f, 0.0f, 0.0f), CharacterController::minMoveDistance, 0.1f);
    EXPECT_EQ(hits.count(pollen.get()), 1);
    EXPECT_EQ(drop->getPosition(), glm::vec3(5.0f, 0.0f, 0.0f)) << "the capsule pushes nothing";
}

TEST_F(CharacterControllerTest, DropThatFellIntoTheCapsuleIsTouchedByTheNextMove)
{
    auto controller = makeController(glm::vec3(0.0f));
    auto drop = fixed("drop", 16, 398, glm::vec3(0.0f, 0.0f, 1.0f), modelOf({boxMesh(glm::vec3(0.2f))}));
    drop->setLinearVelocity(glm::vec3(0.0f, 0.0f, -9.81f));
    steps(4); // about 0.65 units down: now inside the capsule's top

    // Moving away from it still finds it.
    controller->move(glm::vec3(0.0f, 0.0f, -0.5f), CharacterController::minMoveDistance, 0.1f);
    EXPECT_EQ(hits.count(drop.get()), 1);
}

TEST_F(CharacterControllerTest, CapsuleNeverAppearsInTouchReports)
{
    auto controller = makeController(glm::vec3(0.0f));
    // Reports every category there is, and overlaps the capsule.
    auto greedy = fixed("greedy", 0xffffffffu, 0xffffffffu, glm::vec3(0.0f, 0.0f, 0.0f));
    steps(5);
    controller->move(glm::vec3(0.0f, 0.0f, 0.3f), CharacterController::minMoveDistance, 0.1f);
    steps(5);
    EXPECT_EQ(greedy->hits, 0);
    EXPECT_EQ(hits.count(greedy.get()), 1) << "the controller's own hit report still names it";
}

TEST_F(CharacterControllerTest, AnotherControllerIsReportedAsAController)
{
    auto mover = makeController(glm::vec3(0.0f));
    auto other = makeController(glm::vec3(5.0f, 0.0f, 0.0f));
    mover->move(glm::vec3(10.0f, 0.0f, 0.0f), CharacterController::minMoveDistance, 0.1f);
    ASSERT_EQ(hits.controllers.size(), 1u);
    EXPECT_EQ(hits.controllers[0].actor, other->getActor());
    EXPECT_TRUE(hits.shapes.empty());
    EXPECT_NEAR(mover->getPosition().x, 5.0f - 1.0f - 0.1f, kPositionTolerance);
}

TEST_F(CharacterControllerTest, ReleasingTheControllerTakesItsCapsuleOutOfTheWorld)
{
    const int before = engine->bodyCount();
    auto controller = makeController(glm::vec3(0.0f));
    EXPECT_EQ(engine->bodyCount(), before + 1);
    controller.reset();
    EXPECT_EQ(engine->bodyCount(), before);
    steps(1);
}

// --- the same flight at several frame rates ---------------------------------------------------

class ControllerAtFrameRate : public CharacterControllerTest, public ::testing::WithParamInterface<int> {};

TEST_P(ControllerAtFrameRate, FlightIntoAWallEndsAtTheSamePlace)
{
    const float dt = 1.0f / static_cast<float>(GetParam());
    auto wall = wallAt(30.0f);
    auto controller = makeController(glm::vec3(0.0f));
    const glm::vec3 velocity(50.0f, 20.0f, 0.0f);

    int movesIntoTheWall = 0;
    for (float t = 0.0f; t < 1.0f; t += dt) {
        const std::size_t before = hits.shapes.size();
        controller->move(velocity * dt, CharacterController::minMoveDistance, dt);
        step.deltaTime = dt;
        engine->update(step);
        // At most one report per move.
        EXPECT_LE(hits.shapes.size() - before, 1u);
        movesIntoTheWall += static_cast<int>(hits.shapes.size() - before);
    }

    // The first 0.6 s reach the wall; the rest slides along it at the side-long speed.
    EXPECT_NEAR(controller->getPosition().x, 30.0f - kStandOff, kStopTolerance);
    EXPECT_NEAR(controller->getPosition().y, 20.0f, 20.0f * dt + kStopTolerance);
    EXPECT_GT(movesIntoTheWall, 0);
    EXPECT_EQ(wall->getPosition().x, 31.0f);
}

TEST_P(ControllerAtFrameRate, DropFallingOnAStillCapsuleIsTouchedOnce)
{
    const float dt = 1.0f / static_cast<float>(GetParam());
    auto controller = makeController(glm::vec3(0.0f));
    auto drop = fixed("drop", 16, 398, glm::vec3(0.0f, 0.0f, 3.0f), modelOf({boxMesh(glm::vec3(0.2f))}));
    drop->setLinearVelocity(glm::vec3(0.0f, 0.0f, -9.81f));

    // The player hovers: tiny up-and-down moves every frame, as keys would give.
    float sign = 1.0f;
    for (float t = 0.0f; t < 1.0f; t += dt) {
        step.deltaTime = dt;
        engine->update(step);
        controller->move(glm::vec3(0.0f, 0.0f, 0.01f * sign), CharacterController::minMoveDistance, dt);
        sign = -sign;
        if (hits.count(drop.get()) > 0 && !drop->isDestroyed())
            drop->destroy();
    }
    EXPECT_EQ(hits.count(drop.get()), 1);
    EXPECT_TRUE(drop->isDestroyed());
}

INSTANTIATE_TEST_SUITE_P(StepRates, ControllerAtFrameRate, ::testing::Values(30, 60, 144));

} // namespace
} // namespace physicstest
