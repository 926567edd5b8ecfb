#include "world/SegmentContents.h"

#include "render/Model.h"

Pollen::Pollen(std::shared_ptr<PhysicsEngine> engine)
    : PhysxObjectDynamic(getModel(MODEL_POLLEN), std::move(engine))
{
    collisionType = COLLISION_POLLEN;
    setCollisionMask(COLLISION_DEFAULT);
    makeImmovable();
}

void Pollen::update(const StepContext&)
{
}

void Pollen::onHit(PhysxObject*)
{
    if (!isDestroyed())
        destroy();
}

Shroom::Shroom(std::shared_ptr<PhysicsEngine> engine)
    : PhysxObjectDynamic(getModel(MODEL_SHROOM), std::move(engine))
{
    collisionType = COLLISION_SHROOM;
    setCollisionMask(COLLISION_DEFAULT);
    makeImmovable();
}

Tree::Tree(std::shared_ptr<PhysicsEngine> engine)
    : PhysxObjectDynamic(getModel(MODEL_TREE), std::move(engine))
{
    collisionType = COLLISION_TREE;
    setCollisionMask(COLLISION_DEFAULT);
    makeImmovable();
}

Woods::Woods()
    : Drawable(getModel(MODEL_WOODS))
{
}
