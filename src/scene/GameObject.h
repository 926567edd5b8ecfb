#pragma once

#include <glm/glm.hpp>

#include <cstdint>
#include <memory>
#include <vector>

struct StepContext;
class Model;

// Advances one frame; game gives the frame time, the input, the player and the physics.
class IUpdate {
public:
    virtual void update(const StepContext& step) = 0;

protected:
    ~IUpdate() = default;
};

// Records the object for drawing (queues instances into models; issues no GL calls).
class IDraw {
public:
    virtual void draw() = 0;

protected:
    ~IDraw() = default;
};

// Every entity of the world: a transform, owned children and the two interfaces.
// Objects are always held and destroyed through a shared pointer of their concrete type.
class GameObject : public IUpdate, public IDraw {
public:
    GameObject();
    virtual ~GameObject() = default;

    GameObject(const GameObject&) = delete;
    GameObject& operator=(const GameObject&) = delete;

    // Updates the children; destroyed children are dropped instead.
    void update(const StepContext& step) override;
    // Draws the children; a plain object shows nothing of itself.
    void draw() override;

    virtual glm::mat4 getModelMatrix();
    virtual void addChild(std::shared_ptr<GameObject> child);
    virtual bool isDestroyed();
    virtual void setPosition(glm::vec3 value);
    // Euler angles in radians about X, Y and Z.
    virtual void setRotation(glm::vec3 value);
    virtual void setScale(glm::vec3 value);
    virtual glm::mat4 getWorldMatrix();
    virtual glm::vec3 getPosition();
    virtual glm::vec3 getRotation();
    virtual glm::vec3 getScale();

    const std::vector<std::shared_ptr<GameObject>>& getChildren() const { return children; }

    GameObject* parent = nullptr;
    glm::vec3 scale{1.0f};
    glm::vec3 position{0.0f};
    glm::vec3 rotation{0.0f};
    std::vector<std::shared_ptr<GameObject>> children;
    bool destroyed = false;
    std::int32_t id;
    glm::mat4 modelMatrix{1.0f};

protected:
    // modelMatrix = T(position) * Rx * Ry * Rz * S(scale)
    void refreshModelMatrix();
};

// Serial number of the next GameObject, shared by every subclass.
extern std::int32_t objectCount;

// A GameObject that shows a shared model by queueing one instance of it per frame.
class Drawable : public GameObject {
public:
    explicit Drawable(std::shared_ptr<Model> model);

    void draw() override;

    std::shared_ptr<Model> model;
};
