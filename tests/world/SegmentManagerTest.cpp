#include "support/GameHarness.h"

#include "world/ParticleSystem.h"
#include "world/Random.h"
#include "world/SegmentContents.h"
#include "world/SegmentManager.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

constexpr float kTolerance = 1e-3f;

using Contents = std::vector<std::shared_ptr<PhysxObjectDynamic>>;

// The same objects, in the same order (printing the lists themselves would drown a failure).
bool same(const Contents& a, const Contents& b)
{
    return a == b;
}

class SegmentManagerTest : public ::testing::Test {
protected:
    SegmentManagerTest()
    {
        manager = std::make_shared<SegmentManager>(h.physics, random);
    }

    // Puts the player at x and lets the ring follow it.
    void playerAt(float x)
    {
        h.player->setPosition(glm::vec3(x, 0.0f, 10.0f));
        manager->follow(*h.player);
    }

    float segmentX(int i) { return manager->segments[static_cast<std::size_t>(i)]->getPosition().x; }

    testkit::GameHarness h;
    WorldRandom random;
    std::shared_ptr<SegmentManager> manager;
};

TEST_F(SegmentManagerTest, BandIndexFollowsTheGridLinesPlusSeventyPercent)
{
    struct Case {
        float x;
        int band;
    };
    const Case cases[] = {{140.0f, 0}, {339.9f, 0}, {340.0f, 1}, {539.9f, 1}, {540.0f, 2}, {740.0f, 3},
                          {139.9f, 3}, {0.0f, 3},   {-59.9f, 3}, {-60.0f, 2}, {-259.9f, 2}, {-260.0f, 1},
                          {-460.0f, 0}, {-659.0f, 0}, {-661.0f, -1}, {941.0f, 4}};
    for (const auto& c : cases)
        EXPECT_EQ(SegmentManager::bandIndex(c.x), c.band) << "x = " << c.x;
}

TEST_F(SegmentManagerTest, BuildsFourSegmentsEndToEnd)
{
    ASSERT_EQ(manager->segments.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        const auto& s = *manager->segments[static_cast<std::size_t>(i)];
        EXPECT_EQ(s.position, glm::vec3(-5.0f + 200.0f * static_cast<float>(i), 0.0f, -5.0f));
        EXPECT_EQ(s.scale, segmentSize);
        EXPECT_EQ(s.boundaries.size(), 4u);
        EXPECT_EQ(s.woods.size(), 4u);
        ASSERT_NE(s.rain, nullptr);
        EXPECT_EQ(s.isStart, i == 0);
        EXPECT_EQ(s.contents.empty(), i == 0) << "only the start segment is empty";
    }
    EXPECT_EQ(manager->getChildren().size(), 4u);
    EXPECT_EQ(manager->wrapOffset, glm::vec3(800.0f, 0.0f, 0.0f));
}

TEST_F(SegmentManagerTest, BoundariesAndWoodsSitAroundTheTunnel)
{
    const auto& s = *manager->segments[1];
    const glm::vec3 floor = s.boundaries[0]->getPosition();
    EXPECT_NEAR(floor.x, 195.0f + 100.0f, kTolerance);
    EXPECT_NEAR(floor.z, -5.0f, kTolerance);
    EXPECT_EQ(s.boundaries[0]->collisionType, COLLISION_GROUND);
    EXPECT_NEAR(s.boundaries[1]->getPosition().y, 37.5f, kTolerance);
    EXPECT_NEAR(s.boundaries[2]->getPosition().y, -37.5f, kTolerance);
    EXPECT_NEAR(s.boundaries[3]->getPosition().z, -5.0f + 75.0f, kTolerance);
    EXPECT_EQ(s.boundaries[3]->collisionType, COLLISION_DEFAULT);
    EXPECT_NEAR(s.woods[0]->getPosition().y, 75.0f, kTolerance);
    EXPECT_NEAR(s.woods[2]->getPosition().y, -75.0f, kTolerance);
    EXPECT_EQ(s.woods[0]->getScale(), glm::vec3(50.0f, 37.5f, 37.5f));
}

TEST_F(SegmentManagerTest, FirstFrameOnlyAdoptsTheIndex)
{
    const auto before = manager->segments[3]->contents;
    playerAt(0.0f);
    EXPECT_EQ(manager->currentIndex, 3);
    EXPECT_TRUE(same(manager->segments[3]->contents, before));
    EXPECT_NEAR(h.player->getPosition().x, 0.0f, kTolerance);
}

TEST_F(SegmentManagerTest, OneLapRefillsBehindAndWrapsOnce)
{
    playerAt(0.0f);
    const auto seg1Before = manager->segments[1]->contents;
    const auto seg3Before = manager->segments[3]->contents;

    playerAt(140.0f);
    EXPECT_EQ(manager->currentIndex, 0);
    EXPECT_TRUE(same(manager->segments[3]->contents, seg3Before)) << "segment 3 lies ahead: not refilled";

    playerAt(340.0f);
    EXPECT_EQ(manager->currentIndex, 1);
    EXPECT_TRUE(manager->segments[0]->contents.empty()) << "the start segment stays empty";

    playerAt(540.0f);
    EXPECT_EQ(manager->currentIndex, 2);
    EXPECT_NEAR(h.player->getPosition().x, -260.0f, kTolerance);
    EXPECT_NEAR(segmentX(2), -405.0f, kTolerance);
    EXPECT_NEAR(segmentX(3), -205.0f, kTolerance);
    EXPECT_NEAR(segmentX(0), -5.0f, kTolerance);
    EXPECT_NEAR(segmentX(1), 195.0f, kTolerance);
    EXPECT_FALSE(same(manager->segments[1]->contents, seg1Before)) << "segment 1 refilled in place";
    for (const auto& old : seg1Before)
        EXPECT_TRUE(old->isDestroyed());

    playerAt(-59.0f);
    EXPECT_EQ(manager->currentIndex, 3);
    EXPECT_NEAR(segmentX(2), 395.0f, kTolerance) << "segment 2 moved ahead and refilled";
    EXPECT_FALSE(manager->segments[2]->contents.empty());

    const auto seg3Wrapped = manager->segments[3]->contents;
    playerAt(140.0f);
    EXPECT_EQ(manager->currentIndex, 0);
    EXPECT_NEAR(segmentX(3), 595.0f, kTolerance);
    EXPECT_FALSE(same(manager->segments[3]->contents, seg3Wrapped));

    // The second lap goes the same way: each of segments 2 and 3 is refilled once, behind the origin.
    playerAt(340.0f);
    playerAt(540.0f);
    const auto seg2Ahead = manager->segments[2]->contents;
    EXPECT_NEAR(h.player->getPosition().x, -260.0f, kTolerance);
    EXPECT_NEAR(segmentX(2), -405.0f, kTolerance);
    EXPECT_NEAR(segmentX(3), -205.0f, kTolerance);
    playerAt(-59.0f);
    EXPECT_NEAR(segmentX(2), 395.0f, kTolerance);
    EXPECT_FALSE(same(manager->segments[2]->contents, seg2Ahead)) << "refilled once, behind the origin";
}

TEST_F(SegmentManagerTest, WrapCarriesContentsAndDropsWithTheirSegment)
{
    playerAt(0.0f);
    playerAt(140.0f);
    playerAt(340.0f);
    auto& seg2 = *manager->segments[2];
    ASSERT_FALSE(seg2.contents.empty());
    const glm::vec3 content = seg2.contents.front()->getPosition();
    h.game.world()->deltaTime = 1.0f;
    seg2.rain->update(h.game.world()->context());
    ASSERT_FALSE(seg2.rain->getChildren().empty());
    const glm::vec3 drop = seg2.rain->getChildren().front()->getPosition();

    playerAt(540.0f);
    EXPECT_NEAR(seg2.contents.front()->getPosition().x, content.x - 800.0f, kTolerance);
    EXPECT_NEAR(seg2.rain->getChildren().front()->getPosition().x, drop.x - 800.0f, kTolerance);
    EXPECT_NEAR(seg2.rain->getPosition().x, 395.0f + 200.0f - 800.0f, kTolerance);
}

TEST_F(SegmentManagerTest, ASegmentLeftAheadOfTheOriginIsNotRefilled)
{
    playerAt(0.0f);
    playerAt(-100.0f); // back into band 2 while segment 2 still lies ahead at 395
    EXPECT_EQ(manager->currentIndex, 2);
    const auto seg2 = manager->segments[2]->contents;
    playerAt(-59.0f);
    EXPECT_EQ(manager->currentIndex, 3);
    EXPECT_NEAR(h.player->getPosition().x, -59.0f, kTolerance) << "no wrap behind the origin";
    EXPECT_NEAR(segmentX(2), 395.0f, kTolerance);
    EXPECT_TRUE(same(manager->segments[2]->contents, seg2));
}

TEST_F(SegmentManagerTest, BackwardJumpsAreAdoptedWithoutRebuilding)
{
    playerAt(0.0f);
    playerAt(150.0f);
    const auto seg3 = manager->segments[3]->contents;
    const auto seg1 = manager->segments[1]->contents;
    playerAt(-300.0f); // band 1, behind
    EXPECT_EQ(manager->currentIndex, 1);
    EXPECT_NEAR(h.player->getPosition().x, -300.0f, kTolerance);
    EXPECT_TRUE(same(manager->segments[3]->contents, seg3));
    EXPECT_TRUE(same(manager->segments[1]->contents, seg1));
    playerAt(-700.0f); // far behind the ring: nothing to follow
    EXPECT_EQ(manager->currentIndex, 1);
}

TEST_F(SegmentManagerTest, AJumpOverSeveralBandsIsFollowedBandByBand)
{
    playerAt(0.0f);
    const auto seg1 = manager->segments[1]->contents;
    playerAt(600.0f); // past bands 0 and 1 into band 2 in one frame: as if flown in short frames
    EXPECT_EQ(manager->currentIndex, 2);
    EXPECT_NEAR(h.player->getPosition().x, -200.0f, kTolerance);
    EXPECT_NEAR(segmentX(2), -405.0f, kTolerance);
    EXPECT_NEAR(segmentX(3), -205.0f, kTolerance);
    EXPECT_NEAR(segmentX(1), 195.0f, kTolerance);
    EXPECT_FALSE(same(manager->segments[1]->contents, seg1)) << "segment 1 refilled on the way";
}

TEST_F(SegmentManagerTest, APlayerLapsAheadIsCaughtUpWithinOneFrame)
{
    for (const float jump : {40300.0f, 1000.0f, 2345.0f}) {
        playerAt(h.player->getPosition().x + jump);
        const float x = h.player->getPosition().x;
        EXPECT_GT(x, -260.0f) << "after a jump of " << jump;
        EXPECT_LT(x, 540.0f) << "after a jump of " << jump;
        EXPECT_EQ(manager->currentIndex, SegmentManager::bandIndex(x));
        // The tunnel reaches from behind the player to well ahead of it.
        float first = 1e9f, last = -1e9f;
        for (int i = 0; i < 4; ++i) {
            first = std::min(first, segmentX(i));
            last = std::max(last, segmentX(i) + 200.0f);
        }
        EXPECT_LT(first, x);
        EXPECT_GE(last - x, 255.0f - kTolerance);
        EXPECT_GE(first, -405.0f - kTolerance);
        EXPECT_LE(last, 795.0f + kTolerance);
    }
}

TEST_F(SegmentManagerTest, CollectedContentIsErasedAtTheNextUpdate)
{
    auto& seg = *manager->segments[1];
    const std::size_t before = seg.contents.size();
    auto first = seg.contents.front();
    first->destroy();
    h.game.world()->deltaTime = 0.0f;
    seg.update(h.game.world()->context());
    EXPECT_EQ(seg.contents.size(), before - 1);
    EXPECT_NE(seg.contents.front(), first);
}

TEST_F(SegmentManagerTest, FollowsThePlayerThroughTheGameUpdate)
{
    h.game.world()->root.addChild(manager);
    h.player->setPosition(glm::vec3(0.0f, 0.0f, 62.0f));
    h.frame(1.0f / 60.0f);
    EXPECT_EQ(manager->currentIndex, 3);
}

} // namespace
