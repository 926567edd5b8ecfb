#include "physics/Player.h"

#include "audio/SoundEvents.h"
#include "files/Files.h"
#include "input/GameInput.h"
#include "physics/PhysicsBody.h"
#include "physics/PhysicsEngine.h"
#include "render/Mesh.h"
#include "render/Model.h"
#include "run/RunRules.h"
#include "run/StepContext.h"
#include "scene/Angles.h"
#include "scene/Camera.h"

#include <glm/gtc/matrix_transform.hpp>

#include <algorithm>
#include <cmath>

namespace {

constexpr float quarterTurn = 1.5707964f;
constexpr float minimumMove = 0.001f;
constexpr float wheelStep = 1.5f;
constexpr float nearestDistance = 0.15f;
constexpr float farthestDistance = 15.0f;
constexpr float flapDegreesPerSecond = 100.0f;
constexpr float flapLimit = 45.0f;
// The knock-back ends when its push has faded below this share of the flying speed.
constexpr float knockbackFade = 0.025f;
// The fastest flight the world keeps up with, units per second: even at W's double speed in the
// longest frame the creature moves less than half a segment.
constexpr float fastestFlight = 200.0f;

} // namespace

Player::Player(std::shared_ptr<PhysicsEngine> engine, float startingHealth)
    : PhysxObject(getModel(MODEL_BUTTERFLY), engine)
    , health(startingHealth)
{
    CharacterControllerDesc desc;
    desc.hitReport = this;
    controller = std::make_unique<CharacterController>(this->engine, desc);

    cameraController = std::make_shared<CameraController>();
    camera = std::make_shared<GameCamera>(this, cameraController);
    addChild(cameraController);

    findWingMeshes();

    collisionType = COLLISION_PLAYER;
    setCollisionMask(collisionMask);
    scale = glm::vec3(0.02f);
}

Player::~Player() = default;

void Player::findWingMeshes()
{
    if (!model)
        return;
    for (const auto& mesh : model->meshes) {
        if (!mesh)
            continue;
        if (mesh->name == "LeftJoin")
            leftJoin = mesh;
        else if (mesh->name == "RightJoin")
            rightJoin = mesh;
        else if (mesh->name == "Left Wing")
            leftWing = mesh;
        else if (mesh->name == "Right Wing")
            rightWing = mesh;
    }
}

void Player::move(glm::vec3 velocity)
{
    controller->move(velocity * frameTime, minimumMove, frameTime);
}

void Player::update(const StepContext& step)
{
    frameTime = step.deltaTime;
    soundEvents = step.soundEvents;
    if (step.rules)
        difficulty = step.rules->settings.difficulty;
    const float speed = step.rules ? std::clamp(step.rules->settings.moveSensitivity, 0.0f, fastestFlight) : 0.0f;
    const GameInput& input = *step.input;

    camera->update(step);
    const glm::vec3 front = camera->front;
    const glm::vec3 right = camera->right;
    const glm::vec3 up = camera->up;

    // Keys are full deflections, a gamepad stick or trigger anything in between.
    const float sideways = input.sideways();
    if (sideways != 0.0f)
        move(sideways * speed * right);
    const float faster = input.faster();
    if (faster > 0.0f)
        move(faster * speed * front);
    wingSpeed = 1.0f + faster;

    // The creature always flies forward on its own, unless a collision is pushing it back.
    if (knockbackFrame == -1) {
        move(speed * front);
    } else {
        // The push fades over a quarter turn and stays there: on a long frame the cosine would
        // otherwise turn negative and throw the creature forward.
        const float phase = std::min(static_cast<float>(knockbackFrame) * frameTime, 1.0f);
        const float c = std::max(std::cos(phase * quarterTurn), 0.0f);
        move(-0.5f * c * speed * front);
        if (c < knockbackFade)
            knockbackFrame = -1;
        else
            ++knockbackFrame;
        wingSpeed = 0.5f;
    }

    const float stop = input.stop();
    if (stop > 0.0f)
        move(-stop * speed * front);
    const float vertical = input.vertical();
    if (vertical != 0.0f)
        move(vertical * speed * up);

    if (input.released(SCROLL_UP))
        zoom(-wheelStep);
    if (input.released(SCROLL_DOWN))
        zoom(wheelStep);

    remainingTime -= frameTime;

    GameObject::update(step);
    flapWings(frameTime);
}

void Player::zoom(float change)
{
    float d = camera->distance + change;
    if (d < nearestDistance)
        d = nearestDistance;
    else
        d = std::min(farthestDistance, d);
    camera->distance = d;
    camera->offset = glm::vec3(-d, 0.0f, 0.0f);
    camera->dirty = true;
    firstPerson = camera->offset.x == -nearestDistance;
}

void Player::flapWings(float dt)
{
    // A model without the four named meshes simply does not flap.
    if (!leftJoin || !rightJoin || !leftWing || !rightWing)
        return;
    // The joints turn by the step that lands exactly on the limit, so over minutes of uneven
    // frames the wings never drift from the swing they are meant to follow.
    float step = wingDirection * flapDegreesPerSecond * wingSpeed * dt;
    const bool turns = std::abs(wingAngle + step) > flapLimit;
    if (turns)
        step = flapLimit * wingDirection - wingAngle;
    leftJoin->localTransform = glm::rotate(leftJoin->localTransform, step * degreesToRadians, glm::vec3(0.0f, 1.0f, 0.0f));
    rightJoin->localTransform = glm::rotate(rightJoin->localTransform, -step * degreesToRadians, glm::vec3(0.0f, 1.0f, 0.0f));
    leftWing->parentTransform = leftJoin->parentTransform * leftJoin->localTransform;
    rightWing->parentTransform = rightJoin->parentTransform * rightJoin->localTransform;
    wingAngle += step;
    if (turns) {
        wingAngle = flapLimit * wingDirection;
        wingDirection = -wingDirection;
    }
}

glm::mat4 Player::getModelMatrix()
{
    const glm::vec3 angles = cameraController->getRotation();
    const float yaw = angles.x;
    const float pitch = angles.y;
    glm::mat4 m = glm::translate(glm::mat4(1.0f), getPosition());
    m = glm::rotate(m, -quarterTurn, glm::vec3(0.0f, 0.0f, 1.0f));
    m = glm::rotate(m, -yaw * degreesToRadians, glm::vec3(0.0f, 0.0f, 1.0f));
    m = glm::rotate(m, (15.0f - pitch) * degreesToRadians, glm::vec3(1.0f, 0.0f, 0.0f));
    return glm::scale(m, scale);
}

void Player::setPosition(glm::vec3 value)
{
    controller->setPosition(value);
}

glm::vec3 Player::getPosition()
{
    return controller->getPosition();
}

PhysicsBody* Player::getActor()
{
    return controller->getActor();
}

void Player::draw()
{
    camera->draw();
    if (!firstPerson)
        Drawable::draw();
}

void Player::onHit(PhysxObject* other)
{
    if (!other)
        return;
    switch (static_cast<int>(other->collisionType)) {
    case static_cast<int>(COLLISION_RAINDROP):
        if (!other->isDestroyed()) {
            other->destroy();
            health -= 2.0f * std::max(difficulty, 0.01f);
            if (soundEvents)
                soundEvents->push(SoundCue::DropHit, other->getPosition());
        }
        break;
    case static_cast<int>(COLLISION_POLLEN):
        // A pollen pays once, however many times the controller runs into it this frame.
        if (!other->isDestroyed()) {
            other->destroy();
            remainingTime += 1.0f - std::min(difficulty, 0.34f);
            if (soundEvents)
                soundEvents->push(SoundCue::Pollen, other->getPosition());
        }
        break;
    case static_cast<int>(COLLISION_TREE):
    case static_cast<int>(COLLISION_SHROOM):
        knockbackFrame = 0;
        if (soundEvents)
            soundEvents->push(SoundCue::Knockback, getPosition());
        break;
    default:
        break;
    }
}

void Player::onShapeHit(const ControllerHit& hit)
{
    if (hit.actor)
        onHit(hit.actor->owner());
}

void Player::onControllerHit(const ControllerHit&)
{
    logMessage("Player::onControllerHit");
}

void Player::onObstacleHit(const ControllerHit&)
{
    logMessage("Player::onObstacleHit");
}
