#include "world/ParticleSystem.h"

#include "physics/PhysicsEngine.h"
#include "render/Model.h"
#include "run/StepContext.h"
#include "scene/Angles.h"
#include "world/Random.h"

#include <cmath>

namespace {

// Spare drops an emitter keeps: more than end between two of its spawns in steady rain.
constexpr std::size_t maxSpareDrops = 64;

} // namespace

Raindrop::Raindrop(std::shared_ptr<PhysicsEngine> engine, float lifetime)
    : PhysxObjectDynamic(getModel(MODEL_RAINDROP), std::move(engine))
    , lifetime(lifetime)
{
    collisionType = COLLISION_RAINDROP;
    setCollisionMask(RAINDROP_MASK);
    makeImmovable();
    setScale(glm::vec3(RAIN_DROP_SCALE));
}

void Raindrop::update(const StepContext& step)
{
    age += step.deltaTime;
    if (age > lifetime && !isDestroyed())
        destroy();
}

glm::mat4 Raindrop::getWorldMatrix()
{
    return getModelMatrix();
}

void Raindrop::onHit(PhysxObject*)
{
    if (!isDestroyed())
        destroy();
}

bool Raindrop::reusable() const
{
    // The engine takes an ended drop's body out at its next update.
    return destroyed && !engine->contains(actor.get());
}

void Raindrop::revive()
{
    destroyed = false;
    age = 0.0f;
    engine->addBody(actor.get());
    setCollisionMask(RAINDROP_MASK);
}

ParticleSystem::ParticleSystem(float rate, float lifetime, float dropScale)
    : rate(rate)
    , lifetime(lifetime)
    , dropScale(dropScale)
{
    scale = glm::vec3(1.0f);
    halfExtents = scale * 0.5f;
    rotation = glm::vec3(0.0f, 90.0f, 0.0f);
    refreshModelMatrix();
    computeBasis();
    spareDrops.reserve(maxSpareDrops);
}

void ParticleSystem::computeBasis()
{
    const float rx = rotation.x * degreesToRadians;
    const float ry = rotation.y * degreesToRadians;
    direction = glm::normalize(glm::vec3(-(std::cos(rx) * std::cos(ry)), -(std::sin(rx) * std::cos(ry)), -std::sin(ry)));
    right = glm::normalize(glm::vec3(-direction.y, direction.x, 0.0f));
    up = glm::normalize(glm::cross(right, -direction));
}

void ParticleSystem::setPosition(glm::vec3 value)
{
    GameObject::setPosition(value);
    computeBasis();
}

void ParticleSystem::setRotation(glm::vec3 value)
{
    GameObject::setRotation(value);
    computeBasis();
}

void ParticleSystem::setScale(glm::vec3 value)
{
    GameObject::setScale(value);
    halfExtents = scale * 0.5f;
}

void ParticleSystem::update(const StepContext& step)
{
    // Drops that ended are kept before the update lets them go.
    for (const auto& child : children) {
        if (!child->isDestroyed() || spareDrops.size() >= maxSpareDrops)
            continue;
        if (auto drop = std::dynamic_pointer_cast<Raindrop>(child))
            spareDrops.push_back(std::move(drop));
    }
    GameObject::update(step);

    accumulator += rate * step.deltaTime;
    if (accumulator < 1.0f)
        return;
    const int count = static_cast<int>(accumulator);
    accumulator -= static_cast<float>(count);

    for (int i = 0; i < count; ++i) {
        std::shared_ptr<Raindrop> drop = nextDrop(step);
        const glm::vec3 p = getPosition();
        const float u = step.random->unit() - 1.0f;
        const float v = step.random->unit() - 1.0f;
        drop->setPosition(p + right * (u * halfExtents.x) + up * (v * halfExtents.y));
        drop->setScale(glm::vec3(dropScale));
        drop->setLinearVelocity(direction * RAIN_SPEED);
        addChild(drop);
    }
}

std::shared_ptr<Raindrop> ParticleSystem::nextDrop(const StepContext& step)
{
    for (std::size_t i = 0; i < spareDrops.size(); ++i) {
        if (!spareDrops[i]->reusable())
            continue;
        std::shared_ptr<Raindrop> drop = std::move(spareDrops[i]);
        spareDrops.erase(spareDrops.begin() + static_cast<std::ptrdiff_t>(i));
        drop->lifetime = lifetime;
        drop->revive();
        return drop;
    }
    return std::make_shared<Raindrop>(step.physics, lifetime);
}
