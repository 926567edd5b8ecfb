#pragma once

#include "physics/CharacterController.h"
#include "physics/ControllerHitReport.h"
#include "physics/PhysxObject.h"
#include "run/GameRules.h"

#include <memory>

class CameraController;
class GameCamera;
class Mesh;
class SoundEvents;

// The winged creature the player steers: a capsule controller that keeps flying forward
// along the camera's view, steered by the keys, turned by the mouse, zoomed by the wheel.
// It holds the values the game rules work on: level, health and remaining time.
class Player : public PhysxObject, public ControllerHitReport {
public:
    explicit Player(std::shared_ptr<PhysicsEngine> engine, float startingHealth = startHealth);
    ~Player() override;

    void update(const StepContext& step) override;
    glm::mat4 getModelMatrix() override;
    void setPosition(glm::vec3 value) override;
    glm::vec3 getPosition() override;
    PhysicsBody* getActor() override;
    void onHit(PhysxObject* other) override;
    void draw() override;

    void onShapeHit(const ControllerHit& hit) override;
    void onControllerHit(const ControllerHit& hit) override;
    void onObstacleHit(const ControllerHit& hit) override;

    // Takes the wing joints and wings from the model's meshes by name (the creature's constructor does).
    void findWingMeshes();
    // One controller move of velocity * frame time.
    void move(glm::vec3 velocity);

    int level = 0;
    float health;
    float remainingTime = 15.0f;
    bool firstPerson = false;
    std::unique_ptr<CharacterController> controller;
    std::shared_ptr<GameCamera> camera;
    std::shared_ptr<CameraController> cameraController;
    int knockbackFrame = -1;
    std::shared_ptr<Mesh> leftJoin;
    std::shared_ptr<Mesh> rightJoin;
    std::shared_ptr<Mesh> leftWing;
    std::shared_ptr<Mesh> rightWing;
    float wingAngle = 0.0f;
    float wingDirection = 1.0f;
    float wingSpeed = 1.0f;

private:
    void zoom(float change);
    void flapWings(float dt);
    float frameTime = 0.0f;
    // The run's difficulty, for the hits of the step being updated.
    float difficulty = 0.5f;
    // The game's sound events of the frame being updated (hits happen during the moves).
    SoundEvents* soundEvents = nullptr;
};
