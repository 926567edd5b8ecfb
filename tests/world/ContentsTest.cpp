#include "support/GameHarness.h"

#include "world/Random.h"
#include "world/SegmentContents.h"
#include "world/SegmentManager.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

constexpr float kTolerance = 1e-3f;
constexpr float kCell = 15.0f;

class ContentsTest : public ::testing::Test {
protected:
    std::shared_ptr<Segment> segmentAt(glm::vec3 position)
    {
        auto s = std::make_shared<Segment>(h.physics, random);
        s->setPosition(position);
        s->setScale(segmentSize);
        return s;
    }

    testkit::GameHarness h;
    WorldRandom random;
};

TEST_F(ContentsTest, OneDrawOfThreeValuesPerCellPlusOneForEachObject)
{
    // The world's sequence is the classic 15-bit generator from seed 1.
    random = WorldRandom();
    for (const int value : {41, 18467, 6334, 26500, 19169, 15724})
        EXPECT_EQ(random.next(), value);

    random = WorldRandom();
    auto s = segmentAt(glm::vec3(195.0f, 0.0f, -5.0f));
    s->populate();
    const int after[2] = {random.next(), random.next()};

    // Where those two values first follow each other in a fresh sequence: the draws taken.
    random = WorldRandom();
    int draws = 0;
    int previous = random.next();
    for (int current = random.next(); !(previous == after[0] && current == after[1]) && draws < 5000; ++draws) {
        previous = current;
        current = random.next();
    }
    // 14 columns x 5 rows: three values per cell, a fourth for every object placed.
    EXPECT_EQ(draws, 3 * 14 * 5 + static_cast<int>(s->contents.size()));

    // Cell 1 draws 41 (under 0.4 of 32767: empty), 18467, 6334; cell 2 draws 26500 (0.81: a tree),
    // 19169/32767 of a cell along x and 15724/32767 across, then its turn.
    ASSERT_FALSE(s->contents.empty());
    EXPECT_EQ(s->contents.front()->collisionType, COLLISION_TREE);
    EXPECT_NEAR(s->contents.front()->getPosition().x, 195.0f + kCell * 19169.0f / 32767.0f, kTolerance);
    EXPECT_NEAR(s->contents.front()->getPosition().y, -37.5f + kCell + kCell * 15724.0f / 32767.0f, kTolerance);
}

TEST_F(ContentsTest, KindsHeightsAndScalesAndEveryObjectInsideItsCell)
{
    random = WorldRandom();
    const glm::vec3 origin(195.0f, 0.0f, -5.0f);
    auto s = segmentAt(origin);
    s->populate();
    ASSERT_GT(s->contents.size(), 20u);

    int pollen = 0, shrooms = 0, trees = 0;
    for (const auto& object : s->contents) {
        const glm::vec3 p = object->getPosition();
        const float cx = std::floor((p.x - origin.x) / kCell);
        EXPECT_GE(cx, 0.0f);
        EXPECT_LE(cx, 13.0f + 1.0f) << "the last column may reach 10 units into the next segment";
        EXPECT_GE(p.y, origin.y - 37.5f - kTolerance);
        EXPECT_LE(p.y, origin.y + 37.5f + kTolerance);
        switch (object->collisionType) {
        case COLLISION_POLLEN:
            ++pollen;
            EXPECT_GE(p.z, origin.z - kTolerance);
            EXPECT_LE(p.z, origin.z + 75.0f + kTolerance);
            EXPECT_EQ(object->getScale(), glm::vec3(1.0f));
            break;
        case COLLISION_SHROOM:
            ++shrooms;
            EXPECT_NEAR(p.z, origin.z + 10.0f, kTolerance);
            EXPECT_EQ(object->getScale(), glm::vec3(10.0f / 3.0f, 10.0f / 3.0f, 10.5f));
            break;
        case COLLISION_TREE:
            ++trees;
            EXPECT_NEAR(p.z, origin.z + 30.0f, kTolerance);
            EXPECT_EQ(object->getScale(), glm::vec3(15.0f, 15.0f, 30.0f));
            break;
        default:
            ADD_FAILURE() << "unexpected type " << object->collisionType;
        }
    }
    EXPECT_GT(pollen, 0);
    EXPECT_GT(shrooms, 0);
    EXPECT_GT(trees, 0);
}

TEST_F(ContentsTest, ObjectsFillTheirCellsInColumnThenRowOrder)
{
    random = WorldRandom();
    const glm::vec3 origin(0.0f, 0.0f, 0.0f);
    auto s = segmentAt(origin);
    s->populate();
    // Objects come in cell order: column by column, and row by row within a column.
    int lastCell = -1;
    for (const auto& object : s->contents) {
        const glm::vec3 p = object->getPosition();
        const int column = static_cast<int>(std::floor(p.x / kCell));
        const int row = static_cast<int>(std::floor((p.y + 37.5f) / kCell));
        ASSERT_GE(row, 0);
        ASSERT_LT(row, 5);
        const int cell = column * 5 + row;
        EXPECT_GT(cell, lastCell);
        lastCell = cell;
    }
}

TEST_F(ContentsTest, TheStartSegmentStaysEmpty)
{
    auto s = segmentAt(glm::vec3(-5.0f, 0.0f, -5.0f));
    s->isStart = true;
    s->populate();
    s->populate();
    EXPECT_TRUE(s->contents.empty());
}

TEST_F(ContentsTest, TheSameForestOnEveryRun)
{
    auto positions = [this] {
        random = WorldRandom();
        auto s = segmentAt(glm::vec3(395.0f, 0.0f, -5.0f));
        s->populate();
        std::vector<std::pair<std::uint32_t, glm::vec3>> out;
        for (const auto& o : s->contents)
            out.emplace_back(o->collisionType, o->getPosition());
        s->clearContents();
        return out;
    };
    const auto first = positions();
    const auto second = positions();
    EXPECT_EQ(first, second);
    EXPECT_FALSE(first.empty());
}

TEST_F(ContentsTest, ClearingDestroysAndForgetsEveryObject)
{
    auto s = segmentAt(glm::vec3(195.0f, 0.0f, -5.0f));
    s->populate();
    const auto objects = s->contents;
    ASSERT_FALSE(objects.empty());
    s->clearContents();
    EXPECT_TRUE(s->contents.empty());
    for (const auto& o : objects)
        EXPECT_TRUE(o->isDestroyed());
}

TEST_F(ContentsTest, ContentsHangWhereTheyArePlaced)
{
    auto s = segmentAt(glm::vec3(195.0f, 0.0f, -5.0f));
    s->populate();
    std::vector<glm::vec3> before;
    for (const auto& o : s->contents)
        before.push_back(o->getPosition());
    h.frames(120, 1.0f / 60.0f);
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (s->contents[i]->isDestroyed())
            continue; // a pollen against the ceiling removes itself
        EXPECT_NEAR(glm::distance(s->contents[i]->getPosition(), before[i]), 0.0f, kTolerance);
    }
}

TEST_F(ContentsTest, PollenTouchingTheCeilingRemovesItself)
{
    auto ceiling = h.boundary(COLLISION_DEFAULT, glm::vec3(0.0f, 0.0f, 70.0f), glm::vec3(100.0f, 37.5f, 1.0f));
    auto pollen = std::make_shared<Pollen>(h.physics);
    pollen->setPosition(glm::vec3(0.0f, 0.0f, 69.5f));
    auto tree = std::make_shared<Tree>(h.physics);
    auto lowPollen = std::make_shared<Pollen>(h.physics);
    tree->setPosition(glm::vec3(50.0f, 0.0f, 25.0f));
    lowPollen->setPosition(glm::vec3(50.0f, 0.0f, 25.0f));
    h.frames(3, 1.0f / 60.0f);
    EXPECT_TRUE(pollen->isDestroyed());
    EXPECT_FALSE(lowPollen->isDestroyed()) << "pollen touching a tree is not reported";
}

} // namespace
