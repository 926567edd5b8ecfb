#include "app/Config.h"
#include "app/Game.h"
#include "app/GameInput.h"
#include "scene/Camera.h"
#include "support/TestSupport.h"

#include <GLFW/glfw3.h>
#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

namespace {

constexpr float kTolerance = 1e-4f;

void expectVecNear(glm::vec3 actual, glm::vec3 expected)
{
    EXPECT_NEAR(actual.x, expected.x, kTolerance);
    EXPECT_NEAR(actual.y, expected.y, kTolerance);
    EXPECT_NEAR(actual.z, expected.z, kTolerance);
}

void expectMatrixNear(const glm::mat4& actual, const glm::mat4& expected)
{
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            EXPECT_NEAR(actual[c][r], expected[c][r], kTolerance) << "column " << c << " row " << r;
}

// A player stand-in with the camera rig the player builds: the controller as its child, the
// camera looking at it from the controller's frame.
class CameraTest : public ::testing::Test {
protected:
    CameraTest()
    {
        resetSettings();
        game.input = std::make_shared<GameInput>(std::make_unique<testkit::FakeInputDevice>());
        controller = std::make_shared<CameraController>();
        player->addChild(controller);
        camera = std::make_shared<GameCamera>(player.get(), controller);
    }
    ~CameraTest() override { resetSettings(); }

    // The player's frame: the camera first, then the controller takes the mouse.
    void frame(double mouseX = 0.0, double mouseY = 0.0)
    {
        game.input->mouseDeltaX = mouseX;
        game.input->mouseDeltaY = mouseY;
        camera->update(&game);
        player->update(&game);
    }

    Game game;
    std::shared_ptr<GameObject> player = std::make_shared<GameObject>();
    std::shared_ptr<CameraController> controller;
    std::shared_ptr<GameCamera> camera;
};

TEST_F(CameraTest, StartsTenUnitsBehindThePlayerLookingAlongX)
{
    const glm::vec3 p(12.0f, -3.0f, 7.0f);
    player->setPosition(p);
    frame();

    expectVecNear(camera->eye, p + glm::vec3(-10.0f, 0.0f, 0.0f));
    expectVecNear(camera->lookAtPoint, p);
    expectVecNear(camera->front, glm::vec3(1.0f, 0.0f, 0.0f));
    expectVecNear(camera->right, glm::vec3(0.0f, -1.0f, 0.0f));
    expectVecNear(camera->up, glm::vec3(0.0f, 0.0f, 1.0f));
    EXPECT_FLOAT_EQ(camera->distance, 10.0f);
    EXPECT_FLOAT_EQ(camera->nearPlane, 0.1f);
    EXPECT_FLOAT_EQ(camera->farPlane, 300.0f);
    EXPECT_FLOAT_EQ(camera->aspect, 1000.0f / 750.0f);
}

TEST_F(CameraTest, MouseTurnsByTheSensitivityInDegreesPerPixel)
{
    frame(100.0, -50.0);
    EXPECT_NEAR(controller->getRotation().x, 100.0f * 0.08f, kTolerance);
    EXPECT_NEAR(controller->getRotation().y, -50.0f * 0.08f, kTolerance);
}

TEST_F(CameraTest, YawAndPitchSaturate)
{
    for (int i = 0; i < 10; ++i)
        frame(5000.0, 5000.0);
    EXPECT_FLOAT_EQ(controller->getRotation().x, 50.0f);
    EXPECT_FLOAT_EQ(controller->getRotation().y, 70.0f);
    for (int i = 0; i < 10; ++i)
        frame(-5000.0, -5000.0);
    EXPECT_FLOAT_EQ(controller->getRotation().x, -50.0f);
    EXPECT_FLOAT_EQ(controller->getRotation().y, -70.0f);
}

TEST_F(CameraTest, MouseDownRaisesTheEyeAndMouseRightTurnsTheViewRight)
{
    // 250 pixels at 0.08 degrees each: 20 degrees of pitch, then of yaw.
    frame(0.0, 250.0);
    frame();
    EXPECT_NEAR(camera->eye.z, 10.0f * std::sin(glm::radians(20.0f)), kTolerance);
    EXPECT_LT(camera->front.z, 0.0f) << "the view looks down at the player";

    frame(250.0, -250.0);
    frame();
    EXPECT_LT(camera->front.y, 0.0f) << "a positive yaw turns the view towards -y, the camera's right";
    EXPECT_NEAR(camera->front.x, std::cos(glm::radians(20.0f)), kTolerance);
}

TEST_F(CameraTest, ControllerFollowsOnlyTheParentsPosition)
{
    player->setPosition(glm::vec3(1.0f, 2.0f, 3.0f));
    player->setRotation(glm::vec3(0.5f, 0.5f, 0.5f));
    player->setScale(glm::vec3(4.0f));
    frame(100.0, 100.0);
    expectMatrixNear(controller->getWorldMatrix(),
                     glm::translate(glm::mat4(1.0f), glm::vec3(1.0f, 2.0f, 3.0f)) * controller->orientation);
    expectMatrixNear(controller->getModelMatrix(), controller->orientation);
}

TEST_F(CameraTest, ReleasingF4ReloadsTheProjectionSettings)
{
    frame();
    camera->nearPlane = 5.0f;
    camera->farPlane = 6.0f;
    fov = 90.0f;
    window_width = 800.0f;
    window_height = 400.0f;

    game.input->keyStates[GLFW_KEY_F4] = KEY_HELD;
    frame();
    EXPECT_FLOAT_EQ(camera->nearPlane, 5.0f) << "a held key reloads nothing";

    game.input->keyStates[GLFW_KEY_F4] = KEY_RELEASED;
    frame();
    EXPECT_FLOAT_EQ(camera->fov, 90.0f);
    EXPECT_FLOAT_EQ(camera->nearPlane, 0.1f);
    EXPECT_FLOAT_EQ(camera->farPlane, 300.0f);
    EXPECT_FLOAT_EQ(camera->aspect, 2.0f);
    expectMatrixNear(camera->projection, glm::perspective(glm::radians(90.0f), 2.0f, 0.1f, 300.0f));
}

TEST_F(CameraTest, ResizeRebuildsTheProjectionAndAZeroSizeKeepsIt)
{
    window_width = 640.0f;
    window_height = 480.0f;
    camera->rebuildProjection();
    const glm::mat4 expected = glm::perspective(glm::radians(60.0f), 640.0f / 480.0f, 0.1f, 300.0f);
    expectMatrixNear(camera->projection, expected);

    window_height = 0.0f;
    camera->rebuildProjection();
    EXPECT_FLOAT_EQ(camera->aspect, 640.0f / 480.0f);
    expectMatrixNear(camera->projection, expected);
}

TEST_F(CameraTest, ViewProjectionBeforeAnyUpdateUsesThePlayersCurrentPosition)
{
    const glm::vec3 p(50.0f, 5.0f, 20.0f);
    player->setPosition(p);
    const glm::mat4 vp = camera->getViewProjection();

    const glm::vec3 eye = p + glm::vec3(-10.0f, 0.0f, 0.0f);
    expectVecNear(camera->eye, eye);
    expectMatrixNear(vp, camera->projection * glm::lookAt(eye, p, glm::vec3(0.0f, 0.0f, 1.0f)));
    // The player sits in the middle of the picture.
    const glm::vec4 clip = vp * glm::vec4(p, 1.0f);
    EXPECT_NEAR(clip.x / clip.w, 0.0f, kTolerance);
    EXPECT_NEAR(clip.y / clip.w, 0.0f, kTolerance);
}

TEST_F(CameraTest, PositionIsTheEyeNotTheObjectsOwnPosition)
{
    player->setPosition(glm::vec3(3.0f, 0.0f, 0.0f));
    frame();
    expectVecNear(camera->getPosition(), glm::vec3(-7.0f, 0.0f, 0.0f));
    expectVecNear(camera->position, glm::vec3(0.0f));
}

TEST(FreeCameraTest, LooksAlongYawAndPitchFromItsOffset)
{
    resetSettings();
    Camera camera;
    camera.offset = glm::vec3(1.0f, 2.0f, 3.0f);
    camera.yaw = 90.0f;
    camera.update(nullptr);
    expectVecNear(camera.front, glm::vec3(0.0f, 1.0f, 0.0f));
    expectVecNear(camera.up, glm::vec3(0.0f, 0.0f, 1.0f));
    EXPECT_FALSE(camera.dirty);
    const glm::vec4 ahead = camera.getViewProjection() * glm::vec4(1.0f, 12.0f, 3.0f, 1.0f);
    EXPECT_NEAR(ahead.x / ahead.w, 0.0f, kTolerance);
    EXPECT_NEAR(ahead.y / ahead.w, 0.0f, kTolerance);
}

} // namespace
