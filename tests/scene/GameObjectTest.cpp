#include "render/Model.h"
#include "run/StepContext.h"
#include "scene/GameObject.h"

#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <vector>

namespace {

constexpr float kMatrixTolerance = 1e-5f;

void expectMatrixNear(const glm::mat4& actual, const glm::mat4& expected)
{
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            EXPECT_NEAR(actual[c][r], expected[c][r], kMatrixTolerance) << "column " << c << " row " << r;
}

// Counts its updates and can run a script inside one.
class Probe : public GameObject {
public:
    void update(const StepContext& step) override
    {
        ++updates;
        inUpdate = true;
        if (onUpdate)
            onUpdate();
        inUpdate = false;
        GameObject::update(step);
    }
    ~Probe() override
    {
        if (diedInsideUpdate)
            *diedInsideUpdate = inUpdate;
    }

    int updates = 0;
    bool inUpdate = false;
    bool* diedInsideUpdate = nullptr;
    std::function<void()> onUpdate;
};

class OtherKind : public Drawable {
public:
    OtherKind()
        : Drawable(nullptr)
    {
    }
};

TEST(GameObjectTest, NoTwoObjectsEverShareAnIdAndALaterObjectHasALaterOne)
{
    // Objects of every kind, made and dropped in rounds: an id once given is never given again,
    // whatever kind the object was and whether it still lives.
    std::set<std::int32_t> given;
    std::int32_t last = -1;
    for (int round = 0; round < 3; ++round) {
        const std::vector<std::shared_ptr<GameObject>> made = {
            std::make_shared<GameObject>(), std::make_shared<Drawable>(nullptr), std::make_shared<OtherKind>(),
            std::make_shared<Probe>()};
        for (const auto& object : made) {
            EXPECT_TRUE(given.insert(object->id).second) << "id " << object->id << " given twice";
            EXPECT_GT(object->id, last) << "made later, numbered later";
            last = object->id;
        }
    }
}

TEST(GameObjectTest, AnObjectIsSizedAlongItsOwnAxesTurnedAboutItsCentreAndStoodAtItsPosition)
{
    GameObject object;
    expectMatrixNear(object.getModelMatrix(), glm::mat4(1.0f));

    // A post one wide and five tall, laid over by a quarter turn about z (angles in radians) and
    // stood at (10, 0, -4). The world sets these in either order; both give the same post.
    const glm::vec3 position(10.0f, 0.0f, -4.0f);
    const glm::vec3 rotation(0.0f, 0.0f, glm::half_pi<float>());
    const glm::vec3 size(1.0f, 5.0f, 1.0f);
    object.setPosition(position);
    object.setRotation(rotation);
    object.setScale(size);
    GameObject other;
    other.setScale(size);
    other.setRotation(rotation);
    other.setPosition(position);
    expectMatrixNear(other.getModelMatrix(), object.getModelMatrix());

    const glm::mat4 m = object.getModelMatrix();
    const auto place = [&m](glm::vec3 p) { return glm::vec3(m * glm::vec4(p, 1.0f)); };
    EXPECT_LT(glm::length(place({0.0f, 0.0f, 0.0f}) - position), kMatrixTolerance) << "the centre stands on the spot";
    // Its top, 2.5 up its own length, now points along -x; its side, half a unit out, along +y.
    EXPECT_LT(glm::length(place({0.0f, 0.5f, 0.0f}) - glm::vec3(7.5f, 0.0f, -4.0f)), kMatrixTolerance);
    EXPECT_LT(glm::length(place({0.5f, 0.0f, 0.0f}) - glm::vec3(10.0f, 0.5f, -4.0f)), kMatrixTolerance);

    // Turns about several axes: scaled first, then about y, then about x (worked by hand; the
    // physics bodies take their angles in the same order).
    object.setPosition(glm::vec3(1.0f, -2.0f, 3.0f));
    object.setRotation(glm::vec3(glm::half_pi<float>(), glm::half_pi<float>(), 0.0f));
    object.setScale(glm::vec3(2.0f, 0.5f, 3.0f));
    const glm::mat4 turned = object.getModelMatrix();
    const auto placeTurned = [&turned](glm::vec3 p) { return glm::vec3(turned * glm::vec4(p, 1.0f)); };
    // x: scaled to 2, carried to -z by y, to +y by x (another order would leave it on -z).
    EXPECT_LT(glm::length(placeTurned({1.0f, 0.0f, 0.0f}) - glm::vec3(1.0f, 0.0f, 3.0f)), kMatrixTolerance);
    EXPECT_LT(glm::length(placeTurned({0.0f, 1.0f, 0.0f}) - glm::vec3(1.0f, -2.0f, 3.5f)), kMatrixTolerance);
    EXPECT_LT(glm::length(placeTurned({0.0f, 0.0f, 1.0f}) - glm::vec3(4.0f, -2.0f, 3.0f)), kMatrixTolerance);
}

TEST(GameObjectTest, DestroyedChildrenLeaveInTheParentsUpdateWithoutBeingUpdated)
{
    GameObject parent;
    auto first = std::make_shared<Probe>();
    auto second = std::make_shared<Probe>();
    auto third = std::make_shared<Probe>();
    parent.addChild(first);
    parent.addChild(second);
    parent.addChild(third);
    first->destroyed = true;
    second->destroyed = true;
    std::weak_ptr<Probe> gone = first;
    first.reset();

    parent.update(StepContext{});

    ASSERT_EQ(parent.children.size(), 1u);
    EXPECT_EQ(parent.children[0], third);
    EXPECT_EQ(second->updates, 0);
    EXPECT_EQ(third->updates, 1);
    EXPECT_TRUE(gone.expired()) << "the list held the last reference";
}

TEST(GameObjectTest, ChildAddedDuringTheLoopIsUpdatedInTheSamePass)
{
    GameObject parent;
    auto adder = std::make_shared<Probe>();
    auto late = std::make_shared<Probe>();
    adder->onUpdate = [&] {
        if (parent.children.size() == 1)
            parent.addChild(late);
    };
    parent.addChild(adder);

    parent.update(StepContext{});

    EXPECT_EQ(parent.children.size(), 2u);
    EXPECT_EQ(late->updates, 1);
    EXPECT_EQ(late->parent, &parent);
}

TEST(GameObjectTest, ChildDroppedByItsOwnUpdateLivesUntilTheUpdateEnds)
{
    GameObject parent;
    bool diedInsideUpdate = true;
    {
        auto child = std::make_shared<Probe>();
        child->diedInsideUpdate = &diedInsideUpdate;
        child->onUpdate = [&] { parent.children.clear(); };
        parent.addChild(child);
    }

    parent.update(StepContext{});

    EXPECT_TRUE(parent.children.empty());
    EXPECT_FALSE(diedInsideUpdate);
}

TEST(GameObjectTest, AChildGoesWhereverItsParentsCarryIt)
{
    GameObject root;
    auto middle = std::make_shared<GameObject>();
    auto leaf = std::make_shared<GameObject>();
    root.addChild(middle);
    middle->addChild(leaf);
    root.setPosition(glm::vec3(10.0f, 0.0f, 0.0f));
    middle->setRotation(glm::vec3(0.0f, 0.0f, glm::half_pi<float>()));
    leaf->setPosition(glm::vec3(1.0f, 0.0f, 0.0f));
    leaf->setScale(glm::vec3(2.0f));
    const auto where = [](GameObject& object, glm::vec3 p) { return glm::vec3(object.getWorldMatrix() * glm::vec4(p, 1.0f)); };

    expectMatrixNear(root.getWorldMatrix(), root.getModelMatrix()); // a root is where it is placed
    // The leaf's one unit along x is turned to +y by the middle, then moved by the root.
    EXPECT_LT(glm::length(where(*leaf, glm::vec3(0.0f)) - glm::vec3(10.0f, 1.0f, 0.0f)), kMatrixTolerance);
    // Its own size applies in its own axes: its x edge, 2 long, lies along +y as well.
    EXPECT_LT(glm::length(where(*leaf, {0.5f, 0.0f, 0.0f}) - glm::vec3(10.0f, 2.0f, 0.0f)), kMatrixTolerance);

    // Moving the root moves the leaf with it, though the leaf itself was not touched.
    root.setPosition(glm::vec3(10.0f, 0.0f, -7.0f));
    EXPECT_LT(glm::length(where(*leaf, glm::vec3(0.0f)) - glm::vec3(10.0f, 1.0f, -7.0f)), kMatrixTolerance);
}

TEST(GameObjectTest, NullModelQueuesNothingButStillDrawsItsChildren)
{
    auto model = std::make_shared<Model>();
    Drawable empty(nullptr);
    auto child = std::make_shared<Drawable>(model);
    empty.addChild(child);

    empty.draw();

    EXPECT_EQ(model->modelMatrices.size(), 1u);
    EXPECT_EQ(model->normalMatrices.size(), 1u);
}

TEST(GameObjectTest, TwoDrawablesSharingAModelQueueTwoInstances)
{
    auto model = std::make_shared<Model>();
    Drawable a(model);
    Drawable b(model);
    a.setPosition(glm::vec3(1.0f, 2.0f, 3.0f));
    b.setScale(glm::vec3(2.0f, 4.0f, 8.0f));

    a.draw();
    b.draw();

    ASSERT_EQ(model->modelMatrices.size(), 2u);
    ASSERT_EQ(model->normalMatrices.size(), 2u);
    expectMatrixNear(model->modelMatrices[0], a.getWorldMatrix());
    expectMatrixNear(model->modelMatrices[1], b.getWorldMatrix());

    // Lighting needs each surface's normal to stay square to the surface however unevenly the
    // object is stretched: a slope in the model (normal (1, 1, 0), running along (1, -1, 0)),
    // stretched 2 by 4, must still have its carried normal square to its carried slope.
    const glm::vec3 along = glm::vec3(model->modelMatrices[1] * glm::vec4(1.0f, -1.0f, 0.0f, 0.0f));
    const glm::vec3 normal = glm::vec3(model->normalMatrices[1] * glm::vec4(1.0f, 1.0f, 0.0f, 0.0f));
    EXPECT_NEAR(glm::dot(glm::normalize(along), glm::normalize(normal)), 0.0f, kMatrixTolerance);
    EXPECT_GT(glm::dot(normal, glm::vec3(1.0f, 1.0f, 0.0f)), 0.0f) << "and still facing out";
}

TEST(GameObjectTest, AddingANullChildIsIgnored)
{
    GameObject parent;
    parent.addChild(nullptr);
    EXPECT_TRUE(parent.children.empty());
    parent.update(StepContext{});
    parent.draw();
}

} // namespace
