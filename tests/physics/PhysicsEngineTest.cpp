#include "PhysicsFixture.h"

namespace physicstest {
namespace {

using PhysicsEngineTest = PhysicsTest;

// --- the fixed step ---------------------------------------------------------------------------

TEST_F(PhysicsEngineTest, StepsOnlyOnceAWholeStepHasGathered)
{
    frame(0.01f);
    EXPECT_EQ(engine->stepCount(), 0u) << "0.01 s is less than a step";
    EXPECT_NEAR(engine->accumulator, 0.01f, kTimeTolerance);
    frame(0.01f);
    EXPECT_EQ(engine->stepCount(), 1u);
    EXPECT_NEAR(engine->accumulator, 0.02f - 1.0f / 60.0f, kTimeTolerance);
}

TEST_F(PhysicsEngineTest, LongFramesTakeEveryWholeStepAndCarryTheRest)
{
    frame(0.05f);
    EXPECT_EQ(engine->stepCount(), 3u) << "three steps' worth in one frame";
    EXPECT_NEAR(engine->accumulator, 0.0f, kTimeTolerance);
    frame(0.04f);
    EXPECT_EQ(engine->stepCount(), 5u);
    EXPECT_NEAR(engine->accumulator, 0.04f - 2.0f / 60.0f, kTimeTolerance);
    frame(0.1f); // ten frames per second: six steps, the carried remainder joins the next frame
    EXPECT_EQ(engine->stepCount(), 11u);
}

TEST_F(PhysicsEngineTest, SlowFramesKeepABoundedBacklog)
{
    for (int i = 0; i < 100; ++i)
        frame(0.5f);
    EXPECT_EQ(engine->stepCount(), 600u) << "never more than six steps per frame";
    EXPECT_LE(engine->accumulator, engine->maxBacklog + kTimeTolerance);

    // Once frames are fast again no backlog is left to make the world race.
    for (int i = 0; i < 100; ++i)
        frame(0.0001f);
    EXPECT_LE(engine->stepCount() - 600u, 1u);
    EXPECT_LT(engine->accumulator, engine->timeStep);
}

TEST_F(PhysicsEngineTest, ADropEndedByOneStepTouchesNothingInTheNextStepsOfTheFrame)
{
    // The drop rests on a tree top and falls on through it; the floor lies 0.4 below its bottom.
    auto tree = fixed("tree", 128, 1, glm::vec3(0.0f));
    auto floor = fixed("floor", 2, 1, glm::vec3(0.0f, 0.0f, -0.4f));
    floor->setScale(glm::vec3(3.0f, 3.0f, 1.0f));
    auto drop = fixed("drop", 16, 398, glm::vec3(0.0f, 0.0f, 2.0f));
    drop->setLinearVelocity(glm::vec3(0.0f, 0.0f, -9.81f));
    drop->reaction = [&](PhysxObject*) { drop->destroy(); };

    frame(0.1f); // six steps: the drop would reach the floor by the third
    EXPECT_EQ(engine->stepCount(), 6u);
    EXPECT_EQ(drop->hits, 1);
    EXPECT_EQ(tree->hits, 1);
    EXPECT_EQ(floor->hits, 0) << "the ended drop left the world before the next step";
    EXPECT_FALSE(engine->contains(drop->getActor()));
}

TEST_F(PhysicsEngineTest, StoppedOrBackwardClockAddsNoTime)
{
    frame(0.0f);
    frame(-1.0f);
    EXPECT_EQ(engine->accumulator, 0.0f);
    EXPECT_EQ(engine->stepCount(), 0u);
}

TEST_F(PhysicsEngineTest, DynamicBodiesFallUnderGravity)
{
    auto box = probe("box", 1, 1, glm::vec3(0.0f, 0.0f, 100.0f));
    steps(60);
    // Semi-implicit Euler over 60 steps of 1/60 s: v grows by g/60 before each move.
    const float expectedDrop = 9.81f * (1.0f / 60.0f) * (1.0f / 60.0f) * (60.0f * 61.0f / 2.0f);
    EXPECT_NEAR(box->getPosition().z, 100.0f - expectedDrop, 0.01f);
}

TEST_F(PhysicsEngineTest, SameSceneTwiceGivesTheSameWorld)
{
    struct Outcome {
        std::vector<glm::vec3> positions;
        std::vector<int> hits;
    };
    auto run = [] {
        auto world = std::make_shared<PhysicsEngine>();
        std::vector<std::shared_ptr<Probe>> objects;
        auto floor = std::make_shared<Probe>(nullptr, world, "floor", nullptr);
        floor->collisionType = 2;
        floor->setCollisionMask(1);
        floor->makeImmovable();
        floor->setScale(glm::vec3(20.0f, 20.0f, 1.0f));
        objects.push_back(floor);
        for (int i = 0; i < 12; ++i) {
            auto box = std::make_shared<Probe>(nullptr, world, "box", nullptr);
            box->setPosition(glm::vec3(0.7f * (i % 4), 0.9f * (i / 4), 3.0f + 2.1f * i));
            box->setRotation(glm::vec3(10.0f * i, 5.0f * i, 0.0f));
            objects.push_back(box);
        }
        for (int i = 0; i < 120; ++i)
            world->step();
        Outcome outcome;
        for (auto& object : objects) {
            outcome.positions.push_back(object->getPosition());
            outcome.hits.push_back(object->hits);
        }
        return outcome;
    };
    const Outcome first = run();
    const Outcome second = run();
    EXPECT_EQ(first.positions, second.positions);
    EXPECT_EQ(first.hits, second.hits);
    EXPECT_GT(first.hits[0], 0) << "the boxes landed on the floor";
}

// --- the touch report -------------------------------------------------------------------------

TEST_F(PhysicsEngineTest, DropTouchingTheFloorIsReportedToBothOnceFirstBodyFirst)
{
    // The pair's first body is the one that entered the world first: it hears of the touch first.
    for (const bool dropFirst : {true, false}) {
        log.clear();
        std::shared_ptr<Probe> drop, floor;
        if (dropFirst)
            drop = fixed("drop", 16, 398, glm::vec3(0.0f, 0.0f, 1.5f));
        floor = fixed("floor", 2, 1, glm::vec3(0.0f));
        if (!dropFirst)
            drop = fixed("drop", 16, 398, glm::vec3(0.0f, 0.0f, 1.5f));
        steps(1);
        ASSERT_EQ(log.size(), 2u);
        EXPECT_EQ(log[0].who, dropFirst ? "drop" : "floor");
        EXPECT_EQ(log[1].who, dropFirst ? "floor" : "drop");
        for (const HitRecord& hit : log)
            EXPECT_EQ(hit.other, hit.who == "drop" ? static_cast<PhysxObject*>(floor.get()) : drop.get());

        steps(10);
        EXPECT_EQ(log.size(), 2u) << "a lasting touch is reported only when it begins";
    }
}

TEST_F(PhysicsEngineTest, PairOutsideEachOthersMasksCollidesUnreported)
{
    // Pollen and player categories: neither type is in the other's mask.
    auto pollen = probe("pollen", 32, 1, glm::vec3(0.0f, 0.0f, 0.0f));
    auto player = probe("player", 8, 1, glm::vec3(1.5f, 0.0f, 0.0f));
    pollen->setGravityEnabled(false);
    player->setGravityEnabled(false);
    steps(30);
    EXPECT_TRUE(log.empty());
    EXPECT_GT(player->getPosition().x - pollen->getPosition().x, 1.5f + kPositionTolerance)
        << "the overlapping pair must still be pushed apart";
}

TEST_F(PhysicsEngineTest, ReportFollowsTheCollisionWordsWrittenBySetCollisionMask)
{
    auto floor = fixed("floor", 2, 1, glm::vec3(0.0f));
    auto other = fixed("other", 32, 1, glm::vec3(0.0f, 5.0f, 0.0f));
    other->collisionType = 1;
    other->setPosition(glm::vec3(0.0f, 1.5f, 0.0f));
    steps(1);
    EXPECT_TRUE(log.empty()) << "the new type counts only once setCollisionMask writes it";

    other->setPosition(glm::vec3(0.0f, 5.0f, 0.0f));
    steps(1);
    other->setCollisionMask(1);
    other->setPosition(glm::vec3(0.0f, 1.5f, 0.0f));
    steps(1);
    EXPECT_EQ(log.size(), 2u);
}

TEST_F(PhysicsEngineTest, SeveralTouchingShapesMakeOneReportPerObject)
{
    auto threeCubes = modelOf({boxMesh(glm::vec3(1.0f), glm::vec3(0.0f, -2.0f, 0.0f)), boxMesh(glm::vec3(1.0f)),
                               boxMesh(glm::vec3(1.0f), glm::vec3(0.0f, 2.0f, 0.0f))});
    auto drop = fixed("drop", 16, 398, glm::vec3(0.0f), threeCubes);
    auto wall = fixed("wall", 2, 1, glm::vec3(1.5f, 0.0f, 0.0f), modelOf({boxMesh(glm::vec3(1.0f, 4.0f, 1.0f))}));
    steps(1);
    EXPECT_EQ(drop->hits, 1);
    EXPECT_EQ(wall->hits, 1);
}

TEST_F(PhysicsEngineTest, PairIsReportedAgainAfterItSeparated)
{
    auto floor = fixed("floor", 2, 1, glm::vec3(0.0f));
    auto drop = fixed("drop", 16, 398, glm::vec3(0.0f, 0.0f, 1.5f));
    steps(1);
    drop->setPosition(glm::vec3(0.0f, 0.0f, 10.0f));
    steps(1);
    drop->setPosition(glm::vec3(0.0f, 0.0f, 1.5f));
    steps(1);
    EXPECT_EQ(drop->hits, 2);
    EXPECT_EQ(floor->hits, 2);
}

TEST_F(PhysicsEngineTest, RestingImmovablePairsKeepTheirTouchWhileAsleep)
{
    // Pollen placed against the ceiling: two bodies that never move.
    auto ceiling = fixed("ceiling", 1, 1, glm::vec3(0.0f));
    auto pollen = fixed("pollen", 32, 1, glm::vec3(0.0f, 0.0f, -1.5f));
    steps(1);
    EXPECT_EQ(pollen->hits, 1);
    steps(300); // long enough for both to fall asleep
    EXPECT_FALSE(pollen->getActor()->isActive());
    EXPECT_FALSE(ceiling->getActor()->isActive());
    EXPECT_EQ(pollen->hits, 1);
    pollen->setPosition(glm::vec3(0.0f, 0.0f, -10.0f));
    steps(1);
    pollen->setPosition(glm::vec3(0.0f, 0.0f, -1.5f));
    steps(1);
    EXPECT_EQ(pollen->hits, 2) << "a sleeping pair wakes up when one of them is moved";
}

TEST_F(PhysicsEngineTest, HitThatEndsTheOtherObjectSkipsItsHalfOfTheReport)
{
    auto floor = fixed("floor", 2, 1, glm::vec3(0.0f));
    auto drop = fixed("drop", 16, 398, glm::vec3(0.0f, 0.0f, 1.5f));
    std::weak_ptr<Probe> floorWatch = floor;
    std::weak_ptr<Probe> dropWatch = drop;
    // Whichever is called first lets the other go for good.
    floor->reaction = [&](PhysxObject*) { drop.reset(); };
    drop->reaction = [&](PhysxObject*) { floor.reset(); };

    steps(1);

    ASSERT_EQ(log.size(), 1u) << "the freed object must not be called";
    EXPECT_TRUE(log[0].who == "floor" ? dropWatch.expired() : floorWatch.expired());
    EXPECT_EQ(engine->bodyCount(), 1);
    steps(1);
    EXPECT_EQ(log.size(), 1u);
}

// A body that is immovable before it enters the world, as a controller's capsule is.
class BornImmovable : public PhysxObject {
public:
    BornImmovable(std::shared_ptr<PhysicsEngine> engine, std::uint32_t type, std::uint32_t mask, glm::vec3 at)
        : PhysxObject(nullptr, std::move(engine))
    {
        shapes.push_back(std::make_unique<btBoxShape>(btVector3(1.0f, 1.0f, 1.0f)));
        body = std::make_unique<PhysicsBody>(shapes.back().get(), 0.0f, btVector3(0.0f, 0.0f, 0.0f));
        body->setGravityEnabled(false, btVector3(0.0f, 0.0f, 0.0f));
        this->engine->addBody(body.get());
        collisionType = type;
        setCollisionMask(mask);
        setPosition(at);
    }
    ~BornImmovable() override { engine->forgetBody(body.get()); }

    PhysicsBody* getActor() override { return body.get(); }
    void onHit(PhysxObject*) override { ++hits; }

    std::unique_ptr<PhysicsBody> body;
    int hits = 0;
};

TEST_F(PhysicsEngineTest, BodiesImmovableFromTheStartStillTouch)
{
    BornImmovable floor(engine, 2, 1, glm::vec3(0.0f));
    BornImmovable drop(engine, 16, 398, glm::vec3(0.0f, 0.0f, 1.5f));
    steps(1);
    EXPECT_EQ(floor.hits, 1);
    EXPECT_EQ(drop.hits, 1);
}

// --- removals ---------------------------------------------------------------------------------

TEST_F(PhysicsEngineTest, DestroyQueuesOnceAndTheUpdateEmptiesTheQueue)
{
    auto drop = fixed("drop", 16, 398, glm::vec3(0.0f));
    drop->destroy();
    drop->destroy();
    EXPECT_TRUE(drop->isDestroyed());
    ASSERT_EQ(engine->pendingRemovals.size(), 1u);
    EXPECT_EQ(engine->pendingRemovals[0], drop->getActor());

    frame(0.001f);
    EXPECT_TRUE(engine->pendingRemovals.empty());
    EXPECT_FALSE(engine->contains(drop->getActor()));
}

TEST_F(PhysicsEngineTest, BodyQueuedBeforeTheStepIsNotReported)
{
    auto floor = fixed("floor", 2, 1, glm::vec3(0.0f));
    auto drop = fixed("drop", 16, 398, glm::vec3(0.0f, 0.0f, 1.5f));
    drop->destroy();
    frame(1.0f / 30.0f);
    EXPECT_EQ(engine->stepCount(), 2u);
    EXPECT_TRUE(log.empty());
}

TEST_F(PhysicsEngineTest, RemovedBodiesAndTheirShapesAreReleased)
{
    const int bodiesBefore = PhysicsBody::alive();
    auto floor = fixed("floor", 2, 1, glm::vec3(0.0f));
    std::vector<std::shared_ptr<Probe>> drops;
    for (int i = 0; i < 10; ++i)
        drops.push_back(fixed("drop", 16, 398, glm::vec3(0.0f, 0.0f, 10.0f + 3.0f * i)));
    EXPECT_EQ(engine->bodyCount(), 11);

    for (auto& drop : drops)
        drop->destroy();
    frame(0.02f);
    EXPECT_EQ(engine->bodyCount(), 1);
    // A destroyed object is still drawn until its parent lets it go; its body must stay readable.
    EXPECT_NEAR(drops[3]->getPosition().z, 19.0f, kPositionTolerance);

    drops.clear();
    EXPECT_EQ(PhysicsBody::alive(), bodiesBefore + 1);
}

TEST_F(PhysicsEngineTest, ObjectLetGoWithoutDestroyLeavesTheWorldAtOnce)
{
    auto floor = fixed("floor", 2, 1, glm::vec3(0.0f));
    auto drop = fixed("drop", 16, 398, glm::vec3(0.0f, 0.0f, 1.5f));
    drop->destroy();
    drop.reset();
    EXPECT_EQ(engine->bodyCount(), 1);
    EXPECT_TRUE(engine->pendingRemovals.empty()) << "no dangling body may stay queued";
    frame(0.02f);
    EXPECT_TRUE(log.empty());
}

} // namespace
} // namespace physicstest
