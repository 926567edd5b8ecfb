#pragma once

#include "scene/GameObject.h"

#include <glm/glm.hpp>

#include <memory>

// What the cameras see: from this close to this far, in world units.
constexpr float cameraNear = 0.1f;
constexpr float cameraFar = 300.0f;

// Projection and view basis shared by the cameras. A plain Camera is a free camera at offset,
// looking along yaw and pitch; the game itself only ever looks through a GameCamera.
class Camera : public IUpdate, public IDraw {
public:
    Camera();
    virtual ~Camera() = default;

    // Releasing F4 re-reads the projection settings; then the basis is refreshed if dirty.
    void update(const StepContext& step) override;
    // Cameras draw nothing.
    void draw() override {}
    // Projection times view of the current frame (the shaders' "pvMatrix").
    virtual glm::mat4 getViewProjection();
    virtual void updateVectors();

    // fov, near and far plane and the aspect of the configured window, from the settings.
    // Also what the game calls after the framebuffer changed size; a zero-sized window
    // (minimised) keeps the previous projection.
    void rebuildProjection();

    glm::vec3 right{0.0f, -1.0f, 0.0f};
    glm::vec3 up{0.0f, 0.0f, 1.0f};
    glm::vec3 front{1.0f, 0.0f, 0.0f};
    bool dirty = true;
    glm::mat4 projection{1.0f};
    glm::vec3 offset{0.0f};
    float yaw = 0.0f;
    float pitch = 0.0f;
    float fov = 60.0f;
    float nearPlane = cameraNear;
    float farPlane = cameraFar;
    float aspect = 1.0f;
};

// Turns mouse movement into the orbit's two angles and offers them as a rotation placed at
// the parent's (the player's) position. Yaw is rotation.x, pitch rotation.y, in degrees.
class CameraController : public GameObject {
public:
    CameraController() = default;

    void update(const StepContext& step) override;
    glm::mat4 getModelMatrix() override;
    // T(parent's position) * orientation: the parent's own turn and scale do not carry over.
    glm::mat4 getWorldMatrix() override;

    static constexpr float maxYaw = 50.0f;
    static constexpr float maxPitch = 70.0f;
    // A gamepad's right stick fully over turns the view as a mouse moving this many pixels a
    // second would: 120 degrees a second at the default sensitivity.
    static constexpr float stickTurnPixelsPerSecond = 1500.0f;

    // Rz(-yaw) * Ry(pitch).
    glm::mat4 orientation{1.0f};
};

// The orbit camera: its eye sits at offset in the anchor's frame (behind the player at the
// orbit distance) and it looks at the target. It is not part of the scene tree.
class GameCamera : public GameObject, public Camera {
public:
    GameCamera(GameObject* target, std::shared_ptr<GameObject> anchor);

    // Eye and look-at point for this frame, then the Camera update.
    void update(const StepContext& step) override;
    // Draws nothing, not even children.
    void draw() override {}
    glm::mat4 getViewProjection() override;
    void updateVectors() override;
    // The eye, not the object's own (unused) position.
    glm::vec3 getPosition() override;

    GameObject* target;
    float distance = 10.0f;
    std::shared_ptr<GameObject> anchor;
    glm::vec3 eye{0.0f};
    glm::vec3 lookAtPoint{0.0f};

private:
    void placeEye();
};
