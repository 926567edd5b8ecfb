#include "RenderFixture.h"

#include "physics/PhysicsEngine.h"
#include "render/Model.h"
#include "support/GameHarness.h"
#include "world/ParticleSystem.h"
#include "world/SegmentContents.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <optional>
#include <sstream>
#include <vector>

// The world's obstacles and pickups with the hulls cooked from the game's own models, met by
// rain and by the player as in play. They live with the render tests because the models only
// load with an OpenGL context (the world tests open no window, so they can be checked for
// leaks). Where a ball first touches a hull is worked out here from the model's own points,
// placed by hand, never through the physics code under test.

namespace {

// A drop falls 9.81 / 60 units a step, and hull and drop each carry a 0.04 collision margin.
constexpr float landingTolerance = 0.3f;
// The capsule stops 0.1 short of what it meets, within the hull's margin.
constexpr float stopTolerance = 0.1f;
// The player's capsule (its straight part is a hundredth long: a ball): radius and the gap it keeps.
constexpr float capsuleRadius = 0.5f;
constexpr float contactOffset = 0.1f;

// Each mesh's points where the world puts an unturned object: position + scale * point.
std::vector<std::vector<glm::vec3>> placedPoints(const Model& model, glm::vec3 position, glm::vec3 scale)
{
    std::vector<std::vector<glm::vec3>> placed;
    for (const auto& mesh : model.meshes) {
        std::vector<glm::vec3>& points = placed.emplace_back();
        for (const glm::vec3& p : mesh->positions)
            points.push_back(position + scale * p);
    }
    return placed;
}

// How far a ball of this radius travels from origin along a unit direction before it first
// touches the convex hull of the points; nothing if it passes. The hull grown by the ball is
// the set of centres whose distance beyond the hull's reach is at most the radius along every
// direction; with directions spread evenly over the sphere, its entry along the line is exact
// to a few millionths of a unit.
std::optional<float> ballMeetsHull(const std::vector<glm::vec3>& points, glm::vec3 origin, glm::vec3 direction,
                                   float radius)
{
    constexpr int directions = 20000;
    float entry = 0.0f;
    float exit = FLT_MAX;
    for (int i = 0; i < directions; ++i) {
        const float z = 1.0f - 2.0f * (static_cast<float>(i) + 0.5f) / directions;
        const float r = std::sqrt(1.0f - z * z);
        const float angle = 2.3999632f * static_cast<float>(i);
        const glm::vec3 n(r * std::cos(angle), r * std::sin(angle), z);
        float reach = -FLT_MAX;
        for (const glm::vec3& p : points)
            reach = std::max(reach, glm::dot(n, p));
        // Along the line the centre is inside this slab while dot(n, origin) + t dot(n, direction) <= reach + radius.
        const float gap = glm::dot(n, origin) - reach - radius;
        const float closing = glm::dot(n, direction);
        if (std::fabs(closing) < 1e-7f) {
            if (gap > 0.0f)
                return std::nullopt;
        } else if (closing < 0.0f) {
            entry = std::max(entry, -gap / closing);
        } else {
            exit = std::min(exit, -gap / closing);
        }
    }
    if (entry > exit)
        return std::nullopt;
    return entry;
}

// The first of the model's hulls (one per mesh) the ball meets.
std::optional<float> ballMeetsModel(const std::vector<std::vector<glm::vec3>>& hulls, glm::vec3 origin,
                                    glm::vec3 direction, float radius)
{
    std::optional<float> first;
    for (const auto& points : hulls)
        if (const auto t = ballMeetsHull(points, origin, direction, radius))
            first = std::min(first.value_or(FLT_MAX), *t);
    return first;
}

struct Extent {
    glm::vec3 min{FLT_MAX};
    glm::vec3 max{-FLT_MAX};
};

Extent extentOf(const Model& model)
{
    Extent e;
    for (const auto& mesh : model.meshes)
        for (const glm::vec3& p : mesh->positions) {
            e.min = glm::min(e.min, p);
            e.max = glm::max(e.max, p);
        }
    return e;
}

class WorldHullsTest : public rendertest::RenderTest {
protected:
    void SetUp() override
    {
        RenderTest::SetUp();
        loadModels();
        // The drop is round below its centre, as wide as it is deep.
        const Extent drop = extentOf(*getModel(MODEL_RAINDROP));
        dropRadius = RAIN_DROP_SCALE * (drop.max.x - drop.min.x) / 2.0f;
    }

    // Where a drop of rain let fall from startZ at (x, y) is ended by its first touch: the
    // height of its centre, or nothing if it fell below lowestZ untouched.
    std::optional<float> dropEndsAt(glm::vec2 at, float startZ, float lowestZ)
    {
        auto drop = std::make_shared<Raindrop>(engine, RAIN_LIFETIME);
        drop->setPosition(glm::vec3(at, startZ));
        drop->setLinearVelocity(glm::vec3(0.0f, 0.0f, -RAIN_SPEED));
        while (drop->getPosition().z > lowestZ) {
            engine->step();
            if (drop->isDestroyed())
                return drop->getPosition().z;
        }
        return std::nullopt;
    }

    // Lets drops fall on the obstacle at each of the places (world x and y) and compares
    // where each ends with where its hulls say it must.
    void rainOn(const std::vector<std::vector<glm::vec3>>& hulls, const std::vector<glm::vec2>& places, float startZ,
                float lowestZ)
    {
        for (const glm::vec2 at : places) {
            std::ostringstream where;
            where << "drop at (" << at.x << ", " << at.y << ")";
            std::optional<float> expected =
                ballMeetsModel(hulls, glm::vec3(at, startZ), glm::vec3(0.0f, 0.0f, -1.0f), dropRadius);
            if (expected && *expected > startZ - lowestZ)
                expected.reset();
            if (expected)
                *expected = startZ - *expected;
            const std::optional<float> ended = dropEndsAt(at, startZ, lowestZ);
            if (!expected) {
                EXPECT_FALSE(ended) << where.str() << " falls past, yet ended at z " << ended.value_or(0.0f);
                continue;
            }
            ASSERT_TRUE(ended) << where.str() << " fell through its hull, at z " << *expected;
            EXPECT_NEAR(*ended, *expected, landingTolerance) << where.str();
        }
    }

    std::shared_ptr<PhysicsEngine> engine = std::make_shared<PhysicsEngine>();
    float dropRadius = 0.0f;
};

TEST_F(WorldHullsTest, RainEndsOnTheMushroomCapWhereItReallyIs)
{
    // Placed as the segments place it: the model's box of 2 units scaled to 6.7 wide and 21 high.
    const glm::vec3 position(40.0f, -20.0f, 10.0f);
    const glm::vec3 scale(10.0f / 3.0f, 10.0f / 3.0f, 10.5f);
    auto shroom = std::make_shared<Shroom>(engine);
    shroom->setPosition(position);
    shroom->setScale(scale);
    const auto hulls = placedPoints(*getModel(MODEL_SHROOM), position, scale);

    // The top of the cap, its slopes (a box would end them all at one height), and a corner of
    // the model's box, which the round cap does not reach.
    const glm::vec2 centre(position);
    rainOn(hulls,
           {centre, centre + glm::vec2(2.0f, 0.0f), centre + glm::vec2(0.0f, -2.5f),
            centre + glm::vec2(3.1f, 2.95f)},
           position.z + 20.0f, position.z - scale.z - 1.0f);
    EXPECT_FALSE(shroom->isDestroyed()) << "the mushroom stays";
}

TEST_F(WorldHullsTest, RainEndsOnTheTreeCrownAndFallsPastItsTrunkToTheGround)
{
    const glm::vec3 position(-30.0f, 10.0f, 30.0f);
    const glm::vec3 scale(15.0f, 15.0f, 30.0f);
    auto tree = std::make_shared<Tree>(engine);
    tree->setPosition(position);
    tree->setScale(scale);
    const auto hulls = placedPoints(*getModel(MODEL_TREE), position, scale);

    // Two points on the crown's flanks, and one beside the trunk at a corner of the tree's box,
    // outside the crown: that drop falls all the way to the ground.
    const glm::vec2 centre(position);
    rainOn(hulls, {centre + glm::vec2(7.5f, 0.0f), centre + glm::vec2(0.0f, -9.0f), centre + glm::vec2(12.75f, 12.75f)},
           position.z + 40.0f, position.z - scale.z);
}

TEST_F(WorldHullsTest, ThePlayerMeetsTheTrunkAndFliesUnderTheCrownBesideIt)
{
    testkit::GameHarness h;
    constexpr float dt = 1.0f / 60.0f;
    const glm::vec3 position(30.0f, 0.0f, 30.0f);
    const glm::vec3 scale(15.0f, 15.0f, 30.0f);
    auto tree = std::make_shared<Tree>(h.physics);
    tree->setPosition(position);
    tree->setScale(scale);
    const auto hulls = placedPoints(*getModel(MODEL_TREE), position, scale);

    // Eight units above the ground, well under the crown, straight at the trunk. The trunk's hull
    // runs straight from its flared foot to its top, so here it stands almost a unit proud of the bark.
    const glm::vec3 start(0.0f, 0.0f, 8.0f);
    const auto trunk = ballMeetsModel(hulls, start, glm::vec3(1.0f, 0.0f, 0.0f), capsuleRadius);
    ASSERT_TRUE(trunk);
    h.player->setPosition(start);
    for (int frame = 0; frame < 120 && h.player->knockbackFrame == -1; ++frame)
        h.frame(dt);
    ASSERT_EQ(h.player->knockbackFrame, 0) << "the trunk is reported as a tree";
    const glm::vec3 stopped = h.player->getPosition();
    EXPECT_NEAR(stopped.x, start.x + *trunk - contactOffset, stopTolerance);
    EXPECT_NEAR(stopped.y, start.y, stopTolerance);
    EXPECT_NEAR(stopped.z, start.z, stopTolerance);

    // Six units to the side the trunk is missed, though the crown spreads wide above.
    h.player->knockbackFrame = -1;
    const glm::vec3 beside(0.0f, 6.0f, 8.0f);
    ASSERT_FALSE(ballMeetsModel(hulls, beside, glm::vec3(1.0f, 0.0f, 0.0f), capsuleRadius));
    h.player->setPosition(beside);
    h.frames(60, dt);
    EXPECT_EQ(h.player->knockbackFrame, -1);
    EXPECT_GT(h.player->getPosition().x, position.x + scale.x) << "flew on past the tree";
}

TEST_F(WorldHullsTest, PollenIsCollectedWhereTheCapsuleReachesItsRoundHull)
{
    testkit::GameHarness h;
    constexpr float dt = 1.0f / 60.0f;
    float pollenRadius = 0.0f;
    for (const auto& mesh : getModel(MODEL_POLLEN)->meshes)
        for (const glm::vec3& p : mesh->positions)
            pollenRadius = std::max(pollenRadius, glm::length(p));
    const float reach = pollenRadius + capsuleRadius;

    // The flight passes the first a little too far off, up and to the side, to touch its round
    // hull (the edge of a box that size would be touched), then runs into the second a little
    // below its centre.
    auto missed = std::make_shared<Pollen>(h.physics);
    missed->setPosition(glm::vec3(10.0f, 0.0f, 0.0f) + (reach + 0.2f) * glm::normalize(glm::vec3(0.0f, 1.0f, 1.0f)));
    auto caught = std::make_shared<Pollen>(h.physics);
    caught->setPosition(glm::vec3(30.0f, 0.0f, -(reach - 0.15f)));

    h.player->setPosition(glm::vec3(0.0f));
    const float time = h.player->remainingTime;
    constexpr int frames = 60;
    h.frames(frames, dt);
    EXPECT_FALSE(missed->isDestroyed());
    EXPECT_TRUE(caught->isDestroyed());
    EXPECT_NEAR(h.player->remainingTime, time - frames * dt + (1.0f - 0.34f), 1e-3f) << "one pollen paid";
    EXPECT_GT(h.player->getPosition().x, 40.0f) << "flew on through where the pollen was";
}

} // namespace
