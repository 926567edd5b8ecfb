#include "files/Config.h"
#include "input/GameInput.h"
#include "input/GameInput.h"
#include "run/RunRules.h"
#include "run/StepContext.h"
#include "scene/Camera.h"
#include "support/TestSupport.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

namespace {

// Every expected value below is worked out by hand from the angles and distances involved.
constexpr float kTolerance = 1e-4f;
constexpr float kSin20 = 0.3420201f;
constexpr float kCos20 = 0.9396926f;
constexpr float kSin30 = 0.5f;
constexpr float kCos30 = 0.8660254f;
constexpr float kTan30 = 0.5773503f;

void expectVecNear(glm::vec3 actual, glm::vec3 expected)
{
    EXPECT_NEAR(actual.x, expected.x, kTolerance);
    EXPECT_NEAR(actual.y, expected.y, kTolerance);
    EXPECT_NEAR(actual.z, expected.z, kTolerance);
}

// Where a point lands on the screen: x right, y up, z from -1 (near plane) to 1 (far plane).
glm::vec3 ndc(const glm::mat4& matrix, glm::vec3 point)
{
    const glm::vec4 clip = matrix * glm::vec4(point, 1.0f);
    return glm::vec3(clip) / clip.w;
}

// Whether a point survives clipping against the near and far planes.
bool withinDepth(const glm::mat4& matrix, glm::vec3 point)
{
    const glm::vec4 clip = matrix * glm::vec4(point, 1.0f);
    return clip.w > 0.0f && clip.z >= -clip.w && clip.z <= clip.w;
}

// A player stand-in with the camera rig the player builds: the controller as its child, the
// camera looking at it from the controller's frame.
class CameraTest : public ::testing::Test {
protected:
    CameraTest()
    {
        resetSettings();
        input = std::make_shared<GameInput>(std::make_unique<testkit::FakeInputDevice>());
        controller = std::make_shared<CameraController>();
        player->addChild(controller);
        camera = std::make_shared<GameCamera>(player.get(), controller);
    }
    ~CameraTest() override { resetSettings(); }

    // The player's frame: the camera first, then the controller takes the mouse.
    void frame(double mouseX = 0.0, double mouseY = 0.0)
    {
        input->mouseDeltaX = mouseX;
        input->mouseDeltaY = mouseY;
        const RunRules rules = RunRules::configured();
        StepContext step;
        step.deltaTime = deltaTime;
        step.input = input.get();
        step.rules = &rules;
        camera->update(step);
        player->update(step);
    }

    std::shared_ptr<GameInput> input;
    float deltaTime = 0.0f;
    std::shared_ptr<GameObject> player = std::make_shared<GameObject>();
    std::shared_ptr<CameraController> controller;
    std::shared_ptr<GameCamera> camera;
};

TEST_F(CameraTest, StartsTenUnitsBehindThePlayerLookingAlongX)
{
    player->setPosition(glm::vec3(12.0f, -3.0f, 7.0f));
    frame();

    expectVecNear(camera->eye, glm::vec3(2.0f, -3.0f, 7.0f));
    expectVecNear(camera->lookAtPoint, glm::vec3(12.0f, -3.0f, 7.0f));
    expectVecNear(camera->front, glm::vec3(1.0f, 0.0f, 0.0f));
    expectVecNear(camera->right, glm::vec3(0.0f, -1.0f, 0.0f));
    expectVecNear(camera->up, glm::vec3(0.0f, 0.0f, 1.0f));
}

TEST_F(CameraTest, MouseTurnsByTheSensitivityInDegreesPerPixel)
{
    // 0.08 degrees a pixel.
    frame(100.0, -50.0);
    EXPECT_NEAR(controller->getRotation().x, 8.0f, kTolerance);
    EXPECT_NEAR(controller->getRotation().y, -4.0f, kTolerance);
}

TEST_F(CameraTest, InvertedLookTurnsOnlyThePitchTheOtherWayForMouseAndStick)
{
    invert_mouse = 1.0f;
    frame(100.0, -50.0);
    EXPECT_NEAR(controller->getRotation().x, 8.0f, kTolerance);
    EXPECT_NEAR(controller->getRotation().y, 4.0f, kTolerance);

    // The right stick pushed down and right, as far as it goes the same way on both axes.
    deltaTime = 0.05f;
    input->pad.turnX = 0.5f;
    input->pad.turnY = 0.5f;
    const glm::vec3 before = controller->getRotation();
    frame();
    const glm::vec3 turned = controller->getRotation() - before;
    EXPECT_GT(turned.x, 0.5f);
    EXPECT_NEAR(turned.y, -turned.x, kTolerance);
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
    // 250 pixels at 0.08 degrees each: 20 degrees of pitch. The eye swings up over the player
    // and the view looks down at it.
    frame(0.0, 250.0);
    frame();
    expectVecNear(camera->eye, glm::vec3(-10.0f * kCos20, 0.0f, 10.0f * kSin20));
    expectVecNear(camera->front, glm::vec3(kCos20, 0.0f, -kSin20));
    expectVecNear(camera->right, glm::vec3(0.0f, -1.0f, 0.0f));
    expectVecNear(camera->up, glm::vec3(kSin20, 0.0f, kCos20));

    // Pitch back to level, 20 degrees of yaw: the eye swings to +y and the view turns to -y,
    // the camera's right.
    frame(250.0, -250.0);
    frame();
    expectVecNear(camera->eye, glm::vec3(-10.0f * kCos20, 10.0f * kSin20, 0.0f));
    expectVecNear(camera->front, glm::vec3(kCos20, -kSin20, 0.0f));
    expectVecNear(camera->right, glm::vec3(-kSin20, -kCos20, 0.0f));
    expectVecNear(camera->up, glm::vec3(0.0f, 0.0f, 1.0f));
}

TEST_F(CameraTest, ControllerTurnsByPitchThenYawAndFollowsOnlyTheParentsPosition)
{
    player->setPosition(glm::vec3(1.0f, 2.0f, 3.0f));
    player->setRotation(glm::vec3(0.5f, 0.5f, 0.5f));
    player->setScale(glm::vec3(4.0f));
    // 375 pixels right and 250 down: 30 degrees of yaw, 20 of pitch. Pitched first, +x dips
    // below the horizon; the yaw then turns it towards -y without changing its height.
    frame(375.0, 250.0);
    const glm::vec3 turned(kCos20 * kCos30, -kCos20 * kSin30, -kSin20);
    expectVecNear(glm::vec3(controller->getModelMatrix() * glm::vec4(1.0f, 0.0f, 0.0f, 0.0f)), turned);
    // The parent's turn and scale do not reach the orbit, its position does.
    expectVecNear(glm::vec3(controller->getWorldMatrix() * glm::vec4(1.0f, 0.0f, 0.0f, 1.0f)),
                  glm::vec3(1.0f, 2.0f, 3.0f) + turned);
    expectVecNear(glm::vec3(controller->getWorldMatrix() * glm::vec4(0.0f, 1.0f, 0.0f, 0.0f)),
                  glm::vec3(kSin30, kCos30, 0.0f));
}

TEST_F(CameraTest, ReleasingF4ReloadsTheProjectionSettings)
{
    frame();
    camera->nearPlane = 5.0f;
    camera->farPlane = 6.0f;
    fov = 90.0f;
    window_width = 800.0f;
    window_height = 400.0f;

    input->keyStates[GLFW_KEY_F4] = KEY_HELD;
    frame();
    EXPECT_FLOAT_EQ(camera->nearPlane, 5.0f) << "a held key reloads nothing";

    input->keyStates[GLFW_KEY_F4] = KEY_RELEASED;
    frame();
    EXPECT_FLOAT_EQ(camera->fov, 90.0f);
    EXPECT_FLOAT_EQ(camera->nearPlane, 0.1f);
    EXPECT_FLOAT_EQ(camera->farPlane, 300.0f);
    EXPECT_FLOAT_EQ(camera->aspect, 2.0f);
    // 90 degrees high and twice as wide: 4 units ahead the picture reaches 4 up and 8 across.
    const glm::vec3 p = ndc(camera->projection, glm::vec3(1.0f, 1.0f, -4.0f));
    EXPECT_NEAR(p.x, 0.125f, kTolerance);
    EXPECT_NEAR(p.y, 0.25f, kTolerance);
    EXPECT_NEAR(ndc(camera->projection, glm::vec3(0.0f, 0.0f, -0.1f)).z, -1.0f, kTolerance) << "near plane";
    EXPECT_NEAR(ndc(camera->projection, glm::vec3(0.0f, 0.0f, -300.0f)).z, 1.0f, 1e-3f) << "far plane";
}

TEST_F(CameraTest, ResizeRebuildsTheProjectionAndAZeroSizeKeepsIt)
{
    window_width = 640.0f;
    window_height = 480.0f;
    camera->rebuildProjection();
    // 60 degrees high, 4:3: two units ahead the picture's half height is 2 tan 30, its half width 4/3 of that.
    const glm::vec3 p = ndc(camera->projection, glm::vec3(1.0f, 1.0f, -2.0f));
    EXPECT_NEAR(p.x, 1.0f / (2.0f * kTan30 * 4.0f / 3.0f), kTolerance);
    EXPECT_NEAR(p.y, 1.0f / (2.0f * kTan30), kTolerance);

    const glm::mat4 before = camera->projection;
    window_height = 0.0f;
    camera->rebuildProjection();
    EXPECT_FLOAT_EQ(camera->aspect, 640.0f / 480.0f);
    EXPECT_EQ(camera->projection, before);
}

TEST_F(CameraTest, ViewProjectionBeforeAnyUpdateUsesThePlayersCurrentPosition)
{
    const glm::vec3 p(50.0f, 5.0f, 20.0f);
    player->setPosition(p);
    const glm::mat4 vp = camera->getViewProjection();
    expectVecNear(camera->eye, glm::vec3(40.0f, 5.0f, 20.0f));

    // The player sits in the middle of the picture, ten units ahead.
    const glm::vec3 centre = ndc(vp, p);
    EXPECT_NEAR(centre.x, 0.0f, kTolerance);
    EXPECT_NEAR(centre.y, 0.0f, kTolerance);
    // A unit to the camera's right (-y) and a unit up, at the player's distance: the 1000 x 750
    // window's aspect shows as the ratio of the two.
    const glm::vec3 right = ndc(vp, p + glm::vec3(0.0f, -1.0f, 0.0f));
    const glm::vec3 up = ndc(vp, p + glm::vec3(0.0f, 0.0f, 1.0f));
    EXPECT_NEAR(right.x, 1.0f / (10.0f * kTan30 * 4.0f / 3.0f), kTolerance);
    EXPECT_NEAR(right.y, 0.0f, kTolerance);
    EXPECT_NEAR(up.x, 0.0f, kTolerance);
    EXPECT_NEAR(up.y, 1.0f / (10.0f * kTan30), kTolerance);
    EXPECT_NEAR(up.y / right.x, 4.0f / 3.0f, kTolerance);

    // Seen from 0.1 to 300 units ahead of the eye.
    EXPECT_TRUE(withinDepth(vp, glm::vec3(40.2f, 5.0f, 20.0f)));
    EXPECT_FALSE(withinDepth(vp, glm::vec3(40.05f, 5.0f, 20.0f))) << "closer than the near plane";
    EXPECT_TRUE(withinDepth(vp, glm::vec3(339.0f, 5.0f, 20.0f)));
    EXPECT_FALSE(withinDepth(vp, glm::vec3(341.0f, 5.0f, 20.0f))) << "beyond the far plane";
    EXPECT_FALSE(withinDepth(vp, glm::vec3(30.0f, 5.0f, 20.0f))) << "behind the eye";
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
    camera.update(StepContext{});
    EXPECT_FALSE(camera.dirty);
    expectVecNear(camera.front, glm::vec3(0.0f, 1.0f, 0.0f));
    expectVecNear(camera.right, glm::vec3(1.0f, 0.0f, 0.0f));
    expectVecNear(camera.up, glm::vec3(0.0f, 0.0f, 1.0f));
    // Ten units ahead along +y: a point there is in the middle, one a unit along +x is right of it.
    const glm::vec3 ahead = ndc(camera.getViewProjection(), glm::vec3(1.0f, 12.0f, 3.0f));
    EXPECT_NEAR(ahead.x, 0.0f, kTolerance);
    EXPECT_NEAR(ahead.y, 0.0f, kTolerance);
    const glm::vec3 right = ndc(camera.getViewProjection(), glm::vec3(2.0f, 12.0f, 3.0f));
    EXPECT_NEAR(right.x, 1.0f / (10.0f * kTan30 * 4.0f / 3.0f), kTolerance);
    EXPECT_NEAR(right.y, 0.0f, kTolerance);

    // Pitched up 30 degrees, a dirty camera refreshes its basis at the next update.
    camera.yaw = 0.0f;
    camera.pitch = 30.0f;
    camera.dirty = true;
    camera.update(StepContext{});
    expectVecNear(camera.front, glm::vec3(kCos30, 0.0f, kSin30));
    expectVecNear(camera.right, glm::vec3(0.0f, -1.0f, 0.0f));
    expectVecNear(camera.up, glm::vec3(-kSin30, 0.0f, kCos30));
}

// "fov =" reads as 0, and 0 or 180 degrees leave the projection dividing by zero: every vertex
// would be NaN and only the HUD drawn. The view is bounded to 10 to 150 degrees.
TEST_F(CameraTest, AFieldOfViewOutOfRangeStillShowsTheWorld)
{
    for (const float setting : {0.0f, -30.0f, 180.0f, 1000.0f}) {
        fov = setting;
        camera->rebuildProjection();
        EXPECT_GE(camera->fov, 10.0f) << setting;
        EXPECT_LE(camera->fov, 150.0f) << setting;
        // A point straight ahead lands in the middle of the picture, between the planes.
        const glm::vec3 p = ndc(camera->projection, glm::vec3(0.0f, 0.0f, -10.0f));
        EXPECT_NEAR(p.x, 0.0f, kTolerance) << setting;
        EXPECT_NEAR(p.y, 0.0f, kTolerance) << setting;
        EXPECT_GT(p.z, -1.0f) << setting;
        EXPECT_LT(p.z, 1.0f) << setting;
    }
}

} // namespace
