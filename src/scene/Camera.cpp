#include "scene/Camera.h"

#include "files/Config.h"
#include "input/GameInput.h"
#include "run/RunRules.h"
#include "run/StepContext.h"
#include "scene/Angles.h"

#include <GLFW/glfw3.h>
#include <glm/gtc/matrix_transform.hpp>

#include <algorithm>
#include <cmath>

namespace {

const glm::vec3 worldUp(0.0f, 0.0f, 1.0f);
// The field of view the picture works in, degrees: at 0 or 180 the projection divides by zero.
constexpr float narrowestFov = 10.0f;
constexpr float widestFov = 150.0f;

} // namespace

Camera::Camera()
{
    rebuildProjection();
}

void Camera::rebuildProjection()
{
    fov = std::clamp(::fov, narrowestFov, widestFov);
    nearPlane = cameraNear;
    farPlane = cameraFar;
    if (!(window_width > 0.0f) || !(window_height > 0.0f)) {
        // Without a usable size the aspect stays; the first camera falls back to 1.
        if (!(aspect > 0.0f))
            aspect = 1.0f;
    } else {
        aspect = window_width / window_height;
    }
    projection = glm::perspective(fov * degreesToRadians, aspect, nearPlane, farPlane);
}

void Camera::update(const StepContext& step)
{
    if (step.input && step.input->released(GLFW_KEY_F4))
        rebuildProjection();
    if (dirty) {
        updateVectors();
        dirty = false;
    }
}

glm::mat4 Camera::getViewProjection()
{
    return projection * glm::lookAt(offset, offset + front, worldUp);
}

void Camera::updateVectors()
{
    const float y = yaw * degreesToRadians;
    const float p = pitch * degreesToRadians;
    front = glm::normalize(glm::vec3(std::cos(y) * std::cos(p), std::sin(y) * std::cos(p), std::sin(p)));
    right = glm::normalize(glm::cross(front, worldUp));
    up = glm::normalize(glm::cross(right, front));
}

void CameraController::update(const StepContext& step)
{
    if (step.input && step.rules) {
        // Degrees per pixel of mouse travel from the window centre; inverted, pushing the mouse
        // (or the stick) forward looks down.
        const float sensitivity = step.rules->settings.sensitivity;
        const float pitchSign = step.rules->settings.invertMouse != 0.0f ? -1.0f : 1.0f;
        rotation.x += static_cast<float>(step.input->mouseDeltaX) * sensitivity;
        rotation.y += static_cast<float>(step.input->mouseDeltaY) * sensitivity * pitchSign;
        // A stick turns at a rate: full deflection as a mouse swept this fast.
        const float stickPixels = stickTurnPixelsPerSecond * step.deltaTime;
        rotation.x += step.input->pad.turnX * stickPixels * sensitivity;
        rotation.y += step.input->pad.turnY * stickPixels * sensitivity * pitchSign;
    }
    rotation.x = std::clamp(rotation.x, -maxYaw, maxYaw);
    rotation.y = std::clamp(rotation.y, -maxPitch, maxPitch);

    orientation = glm::rotate(glm::mat4(1.0f), -rotation.x * degreesToRadians, glm::vec3(0.0f, 0.0f, 1.0f));
    orientation = glm::rotate(orientation, rotation.y * degreesToRadians, glm::vec3(0.0f, 1.0f, 0.0f));

    GameObject::update(step);
}

glm::mat4 CameraController::getModelMatrix()
{
    return orientation;
}

glm::mat4 CameraController::getWorldMatrix()
{
    if (parent)
        return glm::translate(glm::mat4(1.0f), parent->getPosition()) * orientation;
    return orientation;
}

GameCamera::GameCamera(GameObject* target, std::shared_ptr<GameObject> anchor)
    : target(target)
    , anchor(std::move(anchor))
{
    offset = glm::vec3(-distance, 0.0f, 0.0f);
}

void GameCamera::placeEye()
{
    const glm::mat4 frame = anchor ? anchor->getWorldMatrix() : glm::mat4(1.0f);
    eye = glm::vec3(frame * glm::vec4(offset, 1.0f));
    if (target)
        lookAtPoint = target->getPosition();
}

void GameCamera::update(const StepContext& step)
{
    placeEye();
    dirty = true;
    Camera::update(step);
}

glm::mat4 GameCamera::getViewProjection()
{
    placeEye();
    return projection * glm::lookAt(eye, lookAtPoint, worldUp);
}

void GameCamera::updateVectors()
{
    // An eye on the look-at point has no direction; the previous basis stays.
    const glm::vec3 towards = lookAtPoint - eye;
    if (glm::length(towards) <= 0.0f)
        return;
    front = glm::normalize(towards);
    right = glm::normalize(glm::cross(front, worldUp));
    up = glm::normalize(glm::cross(right, front));
}

glm::vec3 GameCamera::getPosition()
{
    return eye;
}
