#include "render/Model.h"
#include "scene/GameObject.h"

#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

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
    void update(Game* game) override
    {
        ++updates;
        inUpdate = true;
        if (onUpdate)
            onUpdate();
        inUpdate = false;
        GameObject::update(game);
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

TEST(GameObjectTest, IdsCountUpAcrossEveryKindOfObject)
{
    GameObject plain;
    Drawable drawable(nullptr);
    OtherKind other;
    Probe probe;
    EXPECT_EQ(drawable.id, plain.id + 1);
    EXPECT_EQ(other.id, plain.id + 2);
    EXPECT_EQ(probe.id, plain.id + 3);
    EXPECT_EQ(objectCount, probe.id + 1);
}

TEST(GameObjectTest, ModelMatrixIsTranslateThenXThenYThenZThenScale)
{
    GameObject object;
    expectMatrixNear(object.getModelMatrix(), glm::mat4(1.0f));

    // Scale, then a quarter turn about y, then a quarter turn about x, then the move; worked by hand.
    object.setPosition(glm::vec3(1.0f, -2.0f, 3.0f));
    object.setRotation(glm::vec3(glm::half_pi<float>(), glm::half_pi<float>(), 0.0f));
    object.setScale(glm::vec3(2.0f, 0.5f, 3.0f));
    const glm::mat4 m = object.getModelMatrix();
    const auto place = [&m](glm::vec3 p) { return glm::vec3(m * glm::vec4(p, 1.0f)); };
    // x: scaled to 2, carried to -z by y, to +y by x (another order would leave it on -z).
    EXPECT_LT(glm::length(place({1.0f, 0.0f, 0.0f}) - glm::vec3(1.0f, 0.0f, 3.0f)), kMatrixTolerance);
    EXPECT_LT(glm::length(place({0.0f, 1.0f, 0.0f}) - glm::vec3(1.0f, -2.0f, 3.5f)), kMatrixTolerance);
    EXPECT_LT(glm::length(place({0.0f, 0.0f, 1.0f}) - glm::vec3(4.0f, -2.0f, 3.0f)), kMatrixTolerance);
}

TEST(GameObjectTest, RotationIsInRadians)
{
    GameObject object;
    object.setRotation(glm::vec3(0.0f, 0.0f, glm::half_pi<float>()));
    const glm::vec4 turned = object.getModelMatrix() * glm::vec4(1.0f, 0.0f, 0.0f, 1.0f);
    EXPECT_NEAR(turned.x, 0.0f, kMatrixTolerance);
    EXPECT_NEAR(turned.y, 1.0f, kMatrixTolerance);
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

    parent.update(nullptr);

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

    parent.update(nullptr);

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

    parent.update(nullptr);

    EXPECT_TRUE(parent.children.empty());
    EXPECT_FALSE(diedInsideUpdate);
}

TEST(GameObjectTest, WorldMatrixChainsThroughEveryParent)
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

    expectMatrixNear(root.getWorldMatrix(), root.getModelMatrix());
    expectMatrixNear(leaf->getWorldMatrix(), root.getModelMatrix() * middle->getModelMatrix() * leaf->getModelMatrix());
    const glm::vec4 origin = leaf->getWorldMatrix() * glm::vec4(0.0f, 0.0f, 0.0f, 1.0f);
    EXPECT_NEAR(origin.x, 10.0f, kMatrixTolerance);
    EXPECT_NEAR(origin.y, 1.0f, kMatrixTolerance);
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
    expectMatrixNear(model->normalMatrices[1], glm::transpose(glm::inverse(b.getWorldMatrix())));
}

TEST(GameObjectTest, AddingANullChildIsIgnored)
{
    GameObject parent;
    parent.addChild(nullptr);
    EXPECT_TRUE(parent.children.empty());
    parent.update(nullptr);
    parent.draw();
}

} // namespace
