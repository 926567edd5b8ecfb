#pragma once

#include "app/Game.h"
#include "physics/PhysicsBody.h"
#include "physics/PhysicsEngine.h"
#include "physics/PhysxObjectDynamic.h"
#include "render/Mesh.h"
#include "render/Model.h"
#include "run/StepContext.h"

#include <btBulletDynamicsCommon.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace physicstest {

// Positions settle to within this after stepping.
constexpr float kPositionTolerance = 1e-3f;
// Times in the accumulator.
constexpr float kTimeTolerance = 1e-5f;
// Collision hulls are inflated by Bullet's default margin of their shapes.
constexpr float kHullMargin = 0.04f;

// Who was hit by whom, in call order, across all probes of a test.
struct HitRecord {
    std::string who;
    PhysxObject* other;
};

// A world object that logs its onHit calls.
class Probe : public PhysxObjectDynamic {
public:
    Probe(std::shared_ptr<Model> model, std::shared_ptr<PhysicsEngine> engine, std::string name,
          std::vector<HitRecord>* log)
        : PhysxObjectDynamic(std::move(model), std::move(engine))
        , name(std::move(name))
        , log(log)
    {
    }

    void onHit(PhysxObject* other) override
    {
        ++hits;
        if (log)
            log->push_back(HitRecord{name, other});
        if (reaction)
            reaction(other);
    }

    std::string name;
    std::vector<HitRecord>* log;
    int hits = 0;
    std::function<void(PhysxObject*)> reaction;
};

// The eight corners of a box around centre, as a mesh.
inline std::shared_ptr<Mesh> boxMesh(glm::vec3 halfExtents, glm::vec3 centre = glm::vec3(0.0f))
{
    auto mesh = std::make_shared<Mesh>(glm::mat4(1.0f), glm::mat4(1.0f));
    for (int i = 0; i < 8; ++i) {
        const glm::vec3 corner((i & 1) ? 1.0f : -1.0f, (i & 2) ? 1.0f : -1.0f, (i & 4) ? 1.0f : -1.0f);
        mesh->positions.push_back(centre + corner * halfExtents);
    }
    return mesh;
}

inline std::shared_ptr<Model> modelOf(std::vector<std::shared_ptr<Mesh>> meshes)
{
    auto model = std::make_shared<Model>();
    model->meshes = std::move(meshes);
    return model;
}

// One world, stepped at a fixed rate, and the frame context the engine reads.
class PhysicsTest : public ::testing::Test {
protected:
    // One frame of the game loop's physics update.
    void frame(float deltaTime)
    {
        step.deltaTime = deltaTime;
        engine->update(step);
    }
    void steps(int count)
    {
        for (int i = 0; i < count; ++i)
            engine->step();
    }

    // A probe with its category and report mask, placed at position.
    std::shared_ptr<Probe> probe(const std::string& name, std::uint32_t type, std::uint32_t mask,
                                 glm::vec3 position, std::shared_ptr<Model> model = nullptr)
    {
        auto object = std::make_shared<Probe>(std::move(model), engine, name, &log);
        object->collisionType = type;
        object->setCollisionMask(mask);
        object->setPosition(position);
        return object;
    }
    // The same, made immovable the way the world's objects are.
    std::shared_ptr<Probe> fixed(const std::string& name, std::uint32_t type, std::uint32_t mask,
                                 glm::vec3 position, std::shared_ptr<Model> model = nullptr)
    {
        auto object = probe(name, type, mask, position, std::move(model));
        object->makeImmovable();
        return object;
    }

    // Where a ray first meets anything, or nothing.
    bool rayHit(glm::vec3 from, glm::vec3 to, glm::vec3& point)
    {
        const btVector3 a(from.x, from.y, from.z);
        const btVector3 b(to.x, to.y, to.z);
        btCollisionWorld::ClosestRayResultCallback callback(a, b);
        engine->getWorld().rayTest(a, b, callback);
        if (!callback.hasHit())
            return false;
        point = glm::vec3(callback.m_hitPointWorld.x(), callback.m_hitPointWorld.y(), callback.m_hitPointWorld.z());
        return true;
    }

    std::shared_ptr<PhysicsEngine> engine = std::make_shared<PhysicsEngine>();
    StepContext step;
    std::vector<HitRecord> log;
};

} // namespace physicstest
