#include "physics/CollisionFilter.h"

bool AllPairsFilter::needBroadphaseCollision(btBroadphaseProxy*, btBroadphaseProxy*) const
{
    return true;
}

AllPairsDispatcher::AllPairsDispatcher(btCollisionConfiguration* configuration)
    : btCollisionDispatcher(configuration)
{
}

bool AllPairsDispatcher::needsCollision(const btCollisionObject* body0, const btCollisionObject* body1)
{
    if (!body0->isActive() && !body1->isActive())
        return false;
    return body0->checkCollideWith(body1) && body1->checkCollideWith(body0);
}
