#include "support/GameHarness.h"

#include "world/ParticleSystem.h"
#include "world/Random.h"
#include "world/SegmentContents.h"
#include "world/SegmentManager.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

constexpr float kTolerance = 1e-4f;
constexpr float kPositionTolerance = 1e-3f;
constexpr float dt = 1.0f / 60.0f;

class RainTest : public ::testing::Test {
protected:
    // An emitter laid over a segment at x0, as the segment places it.
    std::shared_ptr<ParticleSystem> emitterOver(glm::vec3 segment)
    {
        auto rain = std::make_shared<ParticleSystem>(RAIN_RATE, RAIN_LIFETIME, RAIN_DROP_SCALE);
        rain->setRotation(glm::vec3(0.0f, 90.0f, 0.0f));
        rain->setPosition(segment + glm::vec3(200.0f, 37.5f, 75.0f));
        rain->setScale(glm::vec3(150.0f, 400.0f, 1.0f));
        return rain;
    }

    std::size_t emit(ParticleSystem& rain, float frameTime)
    {
        h.game.world()->deltaTime = frameTime;
        rain.update(h.game.world()->context());
        return rain.getChildren().size();
    }

    // A floor whose top lies at height z.
    std::shared_ptr<PhysxObjectDynamic> floorAt(float z)
    {
        return h.boundary(COLLISION_GROUND, glm::vec3(0.0f, 0.0f, z - 1.0f), glm::vec3(100.0f, 100.0f, 1.0f));
    }

    testkit::GameHarness h;
};

TEST_F(RainTest, TheEmitterBasisPointsStraightDown)
{
    ParticleSystem rain(RAIN_RATE, RAIN_LIFETIME, RAIN_DROP_SCALE);
    EXPECT_NEAR(glm::distance(rain.direction, glm::vec3(0.0f, 0.0f, -1.0f)), 0.0f, kTolerance);
    EXPECT_NEAR(glm::distance(rain.right, glm::vec3(0.0f, 1.0f, 0.0f)), 0.0f, kTolerance);
    EXPECT_NEAR(glm::distance(rain.up, glm::vec3(1.0f, 0.0f, 0.0f)), 0.0f, kTolerance);
    EXPECT_EQ(rain.halfExtents, glm::vec3(0.5f));
    rain.setScale(glm::vec3(150.0f, 400.0f, 1.0f));
    EXPECT_EQ(rain.halfExtents, glm::vec3(75.0f, 200.0f, 0.5f));
}

TEST_F(RainTest, ShortFramesCarryTheRemainder)
{
    auto rain = emitterOver(glm::vec3(0.0f));
    EXPECT_EQ(emit(*rain, 0.1f), 0u);
    EXPECT_EQ(emit(*rain, 0.1f), 0u);
    EXPECT_EQ(emit(*rain, 0.1f), 0u);
    EXPECT_EQ(emit(*rain, 0.1f), 1u) << "one drop every fourth frame of 0.1 s";
    EXPECT_NEAR(rain->accumulator, 0.0f, 1e-5f);
}

TEST_F(RainTest, ALongFrameEmitsSeveralDrops)
{
    auto rain = emitterOver(glm::vec3(0.0f));
    EXPECT_EQ(emit(*rain, 1.0f), 2u);
    EXPECT_NEAR(rain->accumulator, 0.5f, kTolerance);
}

TEST_F(RainTest, DropsStartOverTheWholeFloorAtCeilingHeight)
{
    const glm::vec3 x0(195.0f, 0.0f, -5.0f);
    auto rain = emitterOver(x0);
    emit(*rain, 200.0f); // 500 drops
    glm::vec3 lo(1e9f), hi(-1e9f);
    for (const auto& child : rain->getChildren()) {
        const glm::vec3 p = child->getPosition();
        lo = glm::min(lo, p);
        hi = glm::max(hi, p);
        auto drop = std::dynamic_pointer_cast<Raindrop>(child);
        ASSERT_NE(drop, nullptr);
        EXPECT_NEAR(drop->getLinearVelocity().z, -9.81f, kTolerance);
        EXPECT_EQ(drop->getScale(), glm::vec3(2.0f));
    }
    EXPECT_GE(lo.x, x0.x - kPositionTolerance);
    EXPECT_LE(hi.x, x0.x + 200.0f + kPositionTolerance);
    EXPECT_GE(lo.y, -37.5f - kPositionTolerance);
    EXPECT_LE(hi.y, 37.5f + kPositionTolerance);
    EXPECT_NEAR(lo.z, x0.z + 75.0f, kPositionTolerance);
    EXPECT_NEAR(hi.z, x0.z + 75.0f, kPositionTolerance);
    // 500 uniform drops come close to every edge.
    EXPECT_LT(lo.x, x0.x + 5.0f);
    EXPECT_GT(hi.x, x0.x + 195.0f);
    EXPECT_LT(lo.y, -35.0f);
    EXPECT_GT(hi.y, 35.0f);
}

TEST_F(RainTest, ADropLivesExactlyItsLifetime)
{
    Raindrop drop(h.physics, 10.0f);
    h.game.world()->deltaTime = 5.0f;
    drop.update(h.game.world()->context());
    drop.update(h.game.world()->context());
    EXPECT_FLOAT_EQ(drop.age, 10.0f);
    EXPECT_FALSE(drop.isDestroyed()) << "aged exactly its lifetime, it survives the frame";
    h.game.world()->deltaTime = 0.001f;
    drop.update(h.game.world()->context());
    EXPECT_TRUE(drop.isDestroyed());
}

TEST_F(RainTest, ADropFallsAtConstantSpeedAndVanishesOnTheFloor)
{
    auto floor = floorAt(0.0f);
    auto rain = emitterOver(glm::vec3(0.0f));
    rain->setScale(glm::vec3(0.0f)); // every drop at the emitter's corner
    rain->setPosition(glm::vec3(0.0f, 0.0f, 20.0f));
    h.game.world()->root.addChild(rain);
    h.game.world()->deltaTime = 0.4f;
    rain->update(h.game.world()->context());
    ASSERT_EQ(rain->getChildren().size(), 1u);
    auto drop = std::dynamic_pointer_cast<Raindrop>(rain->getChildren().front());
    rain->rate = 0.0f;

    h.player->setPosition(glm::vec3(500.0f, 0.0f, 50.0f)); // well away
    h.press(GLFW_KEY_S);
    h.frames(60, dt);
    EXPECT_NEAR(drop->getPosition().z, 20.0f - 9.81f, 0.02f) << "9.81 units in one simulated second";
    EXPECT_FALSE(drop->isDestroyed());

    int frames = 0;
    while (!drop->isDestroyed() && frames < 120) {
        h.frame(dt);
        ++frames;
    }
    EXPECT_TRUE(drop->isDestroyed());
    EXPECT_FALSE(floor->isDestroyed());
    h.frame(dt);
    EXPECT_TRUE(rain->getChildren().empty()) << "erased from the emitter at its next update";

    // The ended drop is kept and falls again as the next one, a new drop in every way: back in
    // the world, young, falling at the same speed and ending on the floor again.
    rain->rate = RAIN_RATE;
    h.game.world()->deltaTime = 0.4f;
    rain->update(h.game.world()->context());
    rain->rate = 0.0f;
    ASSERT_EQ(rain->getChildren().size(), 1u);
    EXPECT_EQ(rain->getChildren().front(), drop) << "no new object while a spare one waits";
    EXPECT_FALSE(drop->isDestroyed());
    EXPECT_NEAR(drop->getPosition().z, 20.0f, kPositionTolerance);
    h.frames(60, dt);
    EXPECT_NEAR(drop->getPosition().z, 20.0f - 9.81f, 0.02f);
    EXPECT_NEAR(drop->age, 1.0f, 1e-3f);
    frames = 0;
    while (!drop->isDestroyed() && frames < 120) {
        h.frame(dt);
        ++frames;
    }
    EXPECT_TRUE(drop->isDestroyed()) << "a revived drop still touches the floor";
}

TEST_F(RainTest, DropsFallInGameTimeWhateverTheFrameRate)
{
    // Two seconds of play at each rate: the physics takes every whole step the frames gathered,
    // so a drop always falls 9.81 units a second, to within one step's fall.
    h.player->setPosition(glm::vec3(500.0f, 0.0f, 50.0f)); // well away
    h.press(GLFW_KEY_S);
    for (const int fps : {10, 20, 30, 60, 144}) {
        auto drop = std::make_shared<Raindrop>(h.physics, RAIN_LIFETIME);
        drop->setPosition(glm::vec3(0.0f, 0.0f, 70.0f));
        drop->setLinearVelocity(glm::vec3(0.0f, 0.0f, -RAIN_SPEED));
        h.game.world()->root.addChild(drop);
        h.frames(2 * fps, 1.0f / static_cast<float>(fps));
        EXPECT_NEAR(drop->getPosition().z, 70.0f - 2.0f * 9.81f, 9.81f / 60.0f) << fps << " frames per second";
        EXPECT_NEAR(drop->age, 2.0f, 1e-3f) << fps << " frames per second";
        drop->destroy();
    }
}

TEST_F(RainTest, DropsIgnorePollenOtherDropsAndTheCeiling)
{
    auto ceiling = h.boundary(COLLISION_DEFAULT, glm::vec3(0.0f, 0.0f, 20.0f), glm::vec3(1.0f));
    auto pollen = std::make_shared<Pollen>(h.physics);
    pollen->setPosition(glm::vec3(10.0f, 0.0f, 20.0f));
    auto a = std::make_shared<Raindrop>(h.physics, 10.0f);
    auto b = std::make_shared<Raindrop>(h.physics, 10.0f);
    auto c = std::make_shared<Raindrop>(h.physics, 10.0f);
    a->setPosition(glm::vec3(0.0f, 0.0f, 20.0f));
    b->setPosition(glm::vec3(10.0f, 0.0f, 20.0f));
    c->setPosition(glm::vec3(10.5f, 0.0f, 20.0f));
    h.player->setPosition(glm::vec3(500.0f, 0.0f, 50.0f));
    h.frames(10, dt);
    EXPECT_FALSE(a->isDestroyed());
    EXPECT_FALSE(b->isDestroyed());
    EXPECT_FALSE(c->isDestroyed());
    EXPECT_FALSE(pollen->isDestroyed());
}

TEST_F(RainTest, DropsVanishOnTreesAndMushroomsWhichStay)
{
    auto tree = std::make_shared<Tree>(h.physics);
    tree->setPosition(glm::vec3(0.0f, 0.0f, 0.0f));
    auto shroom = std::make_shared<Shroom>(h.physics);
    shroom->setPosition(glm::vec3(40.0f, 0.0f, 0.0f));
    auto onTree = std::make_shared<Raindrop>(h.physics, 10.0f);
    auto onShroom = std::make_shared<Raindrop>(h.physics, 10.0f);
    onTree->setPosition(glm::vec3(0.0f, 0.0f, 0.5f));
    onShroom->setPosition(glm::vec3(40.0f, 0.0f, 0.5f));
    h.player->setPosition(glm::vec3(500.0f, 0.0f, 50.0f));
    h.frames(2, dt);
    EXPECT_TRUE(onTree->isDestroyed());
    EXPECT_TRUE(onShroom->isDestroyed());
    EXPECT_FALSE(tree->isDestroyed());
    EXPECT_FALSE(shroom->isDestroyed());
}

TEST_F(RainTest, ADropFallingOntoThePlayerCostsHealthOnce)
{
    h.player->setPosition(glm::vec3(0.0f, 0.0f, 0.0f));
    auto drop = std::make_shared<Raindrop>(h.physics, 10.0f);
    drop->setPosition(glm::vec3(0.0f, 0.0f, 4.0f));
    drop->setLinearVelocity(glm::vec3(0.0f, 0.0f, -9.81f));
    h.press(GLFW_KEY_S); // hover in place
    h.frames(90, dt);
    EXPECT_TRUE(drop->isDestroyed());
    EXPECT_NEAR(h.player->health, 5.0f - 1.0f, kTolerance);
}

} // namespace
