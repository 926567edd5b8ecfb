#pragma once

#include "physics/PhysxObject.h"

class btCompoundShape;

// The physical object of the world: its own body, its own material, and one hull shape per
// mesh of its model (a box with half extents 1 without a model). The body starts dynamic with
// mass 1 under gravity; world objects make it immovable where they need to.
class PhysxObjectDynamic : public PhysxObject {
public:
    PhysxObjectDynamic(std::shared_ptr<Model> model, std::shared_ptr<PhysicsEngine> engine);
    ~PhysxObjectDynamic() override;

    PhysicsBody* getActor() override;
    void onHit(PhysxObject* other) override;

    std::unique_ptr<PhysicsBody> actor;

private:
    // One hull shape per mesh that spans a volume, in mesh order; a box without a model.
    void createShapes();

    // Holds the shapes at the body's origin when there is not exactly one.
    std::unique_ptr<btCompoundShape> compound;
};
