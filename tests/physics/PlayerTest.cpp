#include "support/GameHarness.h"

#include "files/Config.h"
#include "physics/PhysicsBody.h"
#include "render/Mesh.h"
#include "render/Model.h"
#include "scene/Camera.h"
#include "world/ParticleSystem.h"
#include "world/SegmentContents.h"

#include <GLFW/glfw3.h>
#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr float dt = 1.0f / 60.0f;
// Capsule moves land within this of where they were asked to go.
constexpr float kMoveTolerance = 1e-3f;
constexpr float kTolerance = 1e-4f;

class PlayerTest : public ::testing::Test {
protected:
    // Where one frame takes the player from where it is now.
    glm::vec3 stepFrom(glm::vec3 start)
    {
        h.player->setPosition(start);
        h.frame(dt);
        return h.player->getPosition() - start;
    }

    void scroll(double y)
    {
        h.game.world()->input->onScroll(y);
        h.frame(dt);
    }

    testkit::GameHarness h;
};

TEST_F(PlayerTest, StartsWithFullHealthFifteenSecondsAndTheCameraBehind)
{
    EXPECT_EQ(h.player->level, 0);
    EXPECT_FLOAT_EQ(h.player->health, 5.0f);
    EXPECT_FLOAT_EQ(h.player->remainingTime, 15.0f);
    EXPECT_EQ(h.player->collisionType, COLLISION_PLAYER);
    EXPECT_EQ(h.player->getActor()->owner(), h.player.get());
    h.frame(dt);
    EXPECT_NEAR(h.player->remainingTime, 15.0f - dt, kTolerance);
}

TEST_F(PlayerTest, FliesForwardAlongTheCameraByItself)
{
    const glm::vec3 d = stepFrom(glm::vec3(0.0f));
    EXPECT_NEAR(d.x, 50.0f * dt, kMoveTolerance);
    EXPECT_NEAR(d.y, 0.0f, kMoveTolerance);
    EXPECT_NEAR(d.z, 0.0f, kMoveTolerance);
}

TEST_F(PlayerTest, MovementKeys)
{
    h.press(GLFW_KEY_W);
    EXPECT_NEAR(stepFrom(glm::vec3(0.0f)).x, 100.0f * dt, kMoveTolerance) << "W doubles the speed";
    h.release(GLFW_KEY_W);
    h.frame(dt);

    h.press(GLFW_KEY_S);
    EXPECT_NEAR(glm::length(stepFrom(glm::vec3(0.0f))), 0.0f, kMoveTolerance) << "S cancels forward flight";
    h.release(GLFW_KEY_S);
    h.frame(dt);

    h.press(GLFW_KEY_A);
    h.press(GLFW_KEY_D);
    const glm::vec3 both = stepFrom(glm::vec3(0.0f));
    EXPECT_NEAR(both.y, 0.0f, kMoveTolerance) << "A and D together cancel";
    h.release(GLFW_KEY_D);
    // Camera right is (0, -1, 0), so A moves towards +y.
    EXPECT_NEAR(stepFrom(glm::vec3(0.0f)).y, 50.0f * dt, kMoveTolerance);
    h.release(GLFW_KEY_A);
    h.frame(dt);

    h.press(GLFW_KEY_SPACE);
    EXPECT_NEAR(stepFrom(glm::vec3(0.0f)).z, 50.0f * dt, kMoveTolerance);
    h.release(GLFW_KEY_SPACE);
    h.press(GLFW_KEY_LEFT_SHIFT);
    h.frame(dt);
    EXPECT_NEAR(stepFrom(glm::vec3(0.0f)).z, -50.0f * dt, kMoveTolerance);
}

TEST_F(PlayerTest, SpeedFollowsTheSettingWithinWhatTheWorldKeepsUpWith)
{
    moveSensitivity = 20.0f;
    EXPECT_NEAR(stepFrom(glm::vec3(0.0f)).x, 20.0f * dt, kMoveTolerance);
    // A speed the file allows but no flight survives: the position stays a number, the flight
    // as fast as the world keeps up with, 200 units a second.
    moveSensitivity = 1e22f;
    EXPECT_NEAR(stepFrom(glm::vec3(0.0f)).x, 200.0f * dt, kMoveTolerance);
    moveSensitivity = -50.0f;
    EXPECT_NEAR(stepFrom(glm::vec3(0.0f)).x, 0.0f, kMoveTolerance) << "no flight backwards out of the world";
}

TEST_F(PlayerTest, WheelZoomsInStepsDownToFirstPerson)
{
    scroll(1.0);
    EXPECT_FLOAT_EQ(h.player->camera->distance, 8.5f);
    scroll(1.0);
    EXPECT_FLOAT_EQ(h.player->camera->distance, 7.0f);
    scroll(1.0);
    EXPECT_FLOAT_EQ(h.player->camera->distance, 5.5f);
    EXPECT_FALSE(h.player->firstPerson);

    h.player->camera->distance = 1.0f;
    scroll(1.0);
    EXPECT_FLOAT_EQ(h.player->camera->distance, 0.15f);
    EXPECT_FLOAT_EQ(h.player->camera->offset.x, -0.15f);
    EXPECT_TRUE(h.player->firstPerson);
    scroll(-1.0);
    EXPECT_FLOAT_EQ(h.player->camera->distance, 1.65f);
    EXPECT_FALSE(h.player->firstPerson);

    for (int i = 0; i < 20; ++i)
        scroll(-1.0);
    EXPECT_FLOAT_EQ(h.player->camera->distance, 15.0f);
}

TEST_F(PlayerTest, FirstPersonHidesTheModel)
{
    auto model = std::make_shared<Model>();
    h.player->model = model;
    h.player->draw();
    EXPECT_EQ(model->modelMatrices.size(), 1u);
    model->modelMatrices.clear();
    model->normalMatrices.clear();

    h.player->firstPerson = true;
    h.player->draw();
    EXPECT_TRUE(model->modelMatrices.empty());
}

TEST_F(PlayerTest, KnockBackPushesBackForSixtyOneFramesAndNeverForward)
{
    // At 60 frames per second: 25 units per second back at first, fading to nothing over 61 frames,
    // about 16.12 units in all.
    h.player->knockbackFrame = 0;
    h.player->setPosition(glm::vec3(0.0f));
    h.frame(dt);
    EXPECT_NEAR(h.player->getPosition().x, -25.0f * dt, kMoveTolerance);
    float previous = h.player->getPosition().x;
    int frames = 1;
    while (h.player->knockbackFrame != -1 && frames < 100) {
        h.frame(dt);
        ++frames;
        const float x = h.player->getPosition().x;
        EXPECT_LE(x, previous) << "frame " << frames;
        EXPECT_GE(x, previous - 25.0f * dt) << "the push only fades";
        previous = x;
    }
    EXPECT_EQ(frames, 61);
    EXPECT_NEAR(previous, -16.123f, 0.01f);
    EXPECT_NEAR(stepFrom(glm::vec3(0.0f)).x, 50.0f * dt, kMoveTolerance) << "forward flight again";

    // A long frame late in a knock-back (5 frames of 0.25 s would be past the quarter turn)
    // ends it without a forward throw.
    h.player->knockbackFrame = 5;
    h.player->setPosition(glm::vec3(0.0f));
    h.frame(0.25f);
    EXPECT_LE(h.player->getPosition().x, 0.0f);
    EXPECT_EQ(h.player->knockbackFrame, -1) << "the long frame is the knock-back's last";
}

TEST_F(PlayerTest, ASecondHitRestartsTheKnockBack)
{
    h.player->knockbackFrame = 0;
    h.frames(30, dt);
    EXPECT_EQ(h.player->knockbackFrame, 30);
    Tree tree(h.physics);
    h.player->onHit(&tree);
    EXPECT_EQ(h.player->knockbackFrame, 0);
}

// The turn of a joint about its y axis, in degrees.
float jointDegrees(const glm::mat4& m)
{
    return std::atan2(-m[0][2], m[0][0]) / 0.017453292f;
}

TEST_F(PlayerTest, WingsTurnBothJointsAndSwingBetweenFortyFiveDegrees)
{
    auto mesh = [](const char* name) {
        auto m = std::make_shared<Mesh>(glm::translate(glm::mat4(1.0f), glm::vec3(1.0f, 0.0f, 0.0f)), glm::mat4(1.0f));
        m->name = name;
        return m;
    };
    // The wings are found by name; an empty slot in the model's list is passed over.
    h.player->model = std::make_shared<Model>();
    h.player->model->meshes = {mesh("LeftJoin"), nullptr, mesh("RightJoin"), mesh("Left Wing"), mesh("Right Wing")};
    h.player->findWingMeshes();
    ASSERT_EQ(h.player->leftJoin, h.player->model->meshes[0]);
    ASSERT_EQ(h.player->rightWing, h.player->model->meshes[4]);
    const Mesh& leftJoin = *h.player->leftJoin;
    const Mesh& rightJoin = *h.player->rightJoin;

    h.frame(dt);
    EXPECT_NEAR(jointDegrees(leftJoin.localTransform), 100.0f * dt, kTolerance);
    EXPECT_NEAR(jointDegrees(rightJoin.localTransform), -100.0f * dt, kTolerance);
    const glm::mat4 carried = leftJoin.parentTransform * leftJoin.localTransform;
    EXPECT_NEAR(h.player->leftWing->parentTransform[0][2], carried[0][2], kTolerance) << "the wing rides on its joint";
    EXPECT_NEAR(h.player->wingAngle, 100.0f * dt, kTolerance);

    // 1.7 degrees a frame: the 27th would reach 45.9; the wing stops at 45 and swings back.
    const float uneven = 0.017f;
    h.player->leftJoin->localTransform = glm::mat4(1.0f);
    h.player->rightJoin->localTransform = glm::mat4(1.0f);
    h.player->wingAngle = 0.0f;
    h.frames(26, uneven);
    EXPECT_GT(h.player->wingDirection, 0.0f);
    h.frame(uneven);
    EXPECT_LT(h.player->wingDirection, 0.0f);
    EXPECT_FLOAT_EQ(h.player->wingAngle, 45.0f);
    EXPECT_NEAR(jointDegrees(leftJoin.localTransform), 45.0f, 1e-3f);
    h.frame(uneven);
    EXPECT_NEAR(h.player->wingAngle, 45.0f - 1.7f, kTolerance);

    // Minutes of uneven frames: the joints still show the flap angle.
    for (int i = 0; i < 3000; ++i)
        h.frame(i % 3 == 0 ? 0.043f : 0.011f);
    EXPECT_LE(std::abs(h.player->wingAngle), 45.0f);
    EXPECT_NEAR(jointDegrees(leftJoin.localTransform), h.player->wingAngle, 0.01f);
    EXPECT_NEAR(jointDegrees(rightJoin.localTransform), -h.player->wingAngle, 0.01f);
}

TEST_F(PlayerTest, AModelWithoutTheWingMeshesDoesNotFlap)
{
    h.player->leftJoin = std::make_shared<Mesh>(glm::mat4(1.0f), glm::mat4(1.0f));
    ASSERT_EQ(h.player->rightWing, nullptr);
    h.frames(3, dt);
    EXPECT_FLOAT_EQ(h.player->wingAngle, 0.0f);
    EXPECT_EQ(h.player->leftJoin->localTransform, glm::mat4(1.0f));
}

TEST_F(PlayerTest, ModelTurnsWithTheCameraAndFacesForward)
{
    h.player->setPosition(glm::vec3(3.0f, 4.0f, 5.0f));
    const glm::mat4 m = h.player->getModelMatrix();
    EXPECT_NEAR(m[3][0], 3.0f, kTolerance);
    EXPECT_NEAR(m[3][2], 5.0f, kTolerance);
    // The butterfly's forward (+y in its model) points along the flight (+x), nose up 15 degrees.
    const glm::vec3 forward = glm::normalize(glm::vec3(m * glm::vec4(0.0f, 1.0f, 0.0f, 0.0f)));
    EXPECT_NEAR(forward.x, std::cos(15.0f * 0.017453292f), kTolerance);
    EXPECT_NEAR(forward.y, 0.0f, kTolerance);
    EXPECT_NEAR(forward.z, std::sin(15.0f * 0.017453292f), kTolerance);
    EXPECT_NEAR(glm::length(glm::vec3(m[0])), 0.02f, kTolerance);
}

TEST_F(PlayerTest, ATurnedCameraTurnsTheFlightAndTheModel)
{
    // Yaw 30 (to the right, -y), pitch 20 (eye raised, view down).
    h.player->cameraController->setRotation(glm::vec3(30.0f, 20.0f, 0.0f));
    h.frame(dt); // the controller takes the turn at the end of the frame
    const glm::vec3 d = stepFrom(glm::vec3(0.0f)) / (50.0f * dt);
    EXPECT_NEAR(d.x, 0.8138f, 1e-3f);
    EXPECT_NEAR(d.y, -0.4698f, 1e-3f);
    EXPECT_NEAR(d.z, -0.3420f, 1e-3f);

    // The butterfly's forward (+y in its model) follows the turn, its nose 15 degrees above the flight.
    const glm::mat4 m = h.player->getModelMatrix();
    const glm::vec3 forward = glm::normalize(glm::vec3(m * glm::vec4(0.0f, 1.0f, 0.0f, 0.0f)));
    EXPECT_NEAR(forward.x, 0.8627f, 1e-3f);
    EXPECT_NEAR(forward.y, -0.4981f, 1e-3f);
    EXPECT_NEAR(forward.z, -0.0872f, 1e-3f);
}

// Hits arrive through the real controller flying into real bodies.
class PlayerHitTest : public PlayerTest {
protected:
    template <typename T, typename... Args>
    std::shared_ptr<T> ahead(float x, Args&&... args)
    {
        auto object = std::make_shared<T>(h.physics, std::forward<Args>(args)...);
        object->setPosition(glm::vec3(x, 0.0f, 0.0f));
        return object;
    }
};

TEST_F(PlayerHitTest, ARaindropCostsHealthOnceWhateverTheReports)
{
    auto drop = ahead<Raindrop>(3.0f, 10.0f);
    h.press(GLFW_KEY_W); // two forward moves a frame: the drop is reported twice
    h.frames(20, dt);
    EXPECT_TRUE(drop->isDestroyed());
    EXPECT_NEAR(h.player->health, 5.0f - 2.0f * 0.5f, kTolerance);
}

TEST_F(PlayerHitTest, DamageFollowsDifficultyWithAFloor)
{
    difficulty = 0.0f;
    auto drop = ahead<Raindrop>(3.0f, 10.0f);
    h.frames(20, dt);
    EXPECT_NEAR(h.player->health, 5.0f - 0.02f, kTolerance);
}

TEST_F(PlayerHitTest, APollenPaysOnce)
{
    auto pollen = ahead<Pollen>(3.0f);
    h.press(GLFW_KEY_W);
    const int n = 20;
    h.frames(n, dt);
    EXPECT_TRUE(pollen->isDestroyed());
    EXPECT_NEAR(h.player->remainingTime, 15.0f - n * dt + (1.0f - 0.34f), 1e-3f);
}

TEST_F(PlayerHitTest, TreesAndMushroomsKnockBack)
{
    auto tree = ahead<Tree>(20.0f);
    int frames = 0;
    while (h.player->knockbackFrame == -1 && frames < 60) {
        h.frame(dt);
        ++frames;
    }
    EXPECT_GE(h.player->knockbackFrame, 0);
    EXPECT_FALSE(tree->isDestroyed());
    const float before = h.player->getPosition().x;
    h.frames(5, dt);
    EXPECT_LT(h.player->getPosition().x, before) << "pushed back";

    h.player->knockbackFrame = -1;
    h.player->setPosition(glm::vec3(200.0f, 0.0f, 0.0f));
    auto shroom = ahead<Shroom>(220.0f);
    frames = 0;
    while (h.player->knockbackFrame == -1 && frames < 60) {
        h.frame(dt);
        ++frames;
    }
    EXPECT_GE(h.player->knockbackFrame, 0);
}

TEST_F(PlayerHitTest, TheControllerNeverShowsInTouchReports)
{
    // A drop falling into the player is reported by the controller, never by the engine.
    auto drop = std::make_shared<Raindrop>(h.physics, 10.0f);
    drop->setPosition(glm::vec3(0.0f, 0.0f, 3.0f));
    drop->setLinearVelocity(glm::vec3(0.0f, 0.0f, -9.81f));
    h.press(GLFW_KEY_S); // hover: forward flight cancelled
    h.frames(60, dt);
    EXPECT_TRUE(drop->isDestroyed());
    EXPECT_NEAR(h.player->health, 4.0f, kTolerance);
}

} // namespace
