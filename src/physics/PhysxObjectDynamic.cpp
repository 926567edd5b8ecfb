#include "physics/PhysxObjectDynamic.h"

#include "physics/ConvexHull.h"
#include "physics/PhysicsBody.h"
#include "physics/PhysicsEngine.h"
#include "render/Model.h"

#include <btBulletDynamicsCommon.h>

PhysxObjectDynamic::PhysxObjectDynamic(std::shared_ptr<Model> model, std::shared_ptr<PhysicsEngine> engine)
    : PhysxObject(std::move(model), std::move(engine))
{
    createShapes();

    btCollisionShape* bodyShape = nullptr;
    if (shapes.size() == 1) {
        bodyShape = shapes.front().get();
    } else {
        // Children at the origin: mesh positions are already in model space. A model without
        // any usable mesh gets an empty compound, which collides with nothing.
        compound = std::make_unique<btCompoundShape>(true, static_cast<int>(shapes.size()));
        btTransform origin;
        origin.setIdentity();
        for (auto& shape : shapes)
            compound->addChildShape(origin, shape.get());
        bodyShape = compound.get();
    }

    // A new body: mass 1, inertia (1, 1, 1), at the origin, under gravity.
    actor = std::make_unique<PhysicsBody>(bodyShape, 1.0f, btVector3(1.0f, 1.0f, 1.0f));
    actor->setFriction(material.dynamicFriction);
    actor->setRestitution(material.restitution);
    this->engine->addBody(actor.get());
    setCollisionMask(collisionMask);
}

PhysxObjectDynamic::~PhysxObjectDynamic()
{
    // Out of the world before the body and its shapes are freed, whether or not destroy was called.
    engine->forgetBody(actor.get());
}

PhysicsBody* PhysxObjectDynamic::getActor()
{
    return actor.get();
}

void PhysxObjectDynamic::onHit(PhysxObject*)
{
}

void PhysxObjectDynamic::createShapes()
{
    if (!model) {
        shapes.push_back(std::make_unique<btBoxShape>(btVector3(1.0f, 1.0f, 1.0f)));
        shapes.back()->setLocalScaling(btVector3(scale.x, scale.y, scale.z));
        return;
    }
    for (const auto& mesh : model->meshes) {
        if (!mesh)
            continue;
        std::shared_ptr<ConvexHull> hull = getConvexMesh(*mesh);
        if (!hull)
            continue;
        shapes.push_back(makeHullShape(*hull, scale));
        hulls.push_back(std::move(hull));
    }
}
