#include "support/GameHarness.h"

#include "files/Config.h"

namespace testkit {

GameHarness::GameHarness(bool withSegments)
{
    resetSettings();
    auto device = std::make_unique<FakeInputDevice>();
    keys = device.get();
    game.menuInput.setDevice(keys);
    game.createWorld(std::make_shared<GameInput>(std::move(device)), withSegments);
    physics = game.world()->physics;
    player = game.world()->player;
}

GameHarness::~GameHarness()
{
    resetSettings();
}

std::shared_ptr<PhysxObjectDynamic> GameHarness::boundary(std::uint32_t type, glm::vec3 position,
                                                         glm::vec3 halfExtents)
{
    auto body = std::make_shared<PhysxObjectDynamic>(nullptr, physics);
    body->collisionType = type;
    body->setCollisionMask(1);
    body->makeImmovable();
    body->setPosition(position);
    body->setScale(halfExtents);
    return body;
}

void GameHarness::frame(float dt)
{
    game.step(dt);
}

void GameHarness::frames(int count, float dt)
{
    for (int i = 0; i < count; ++i)
        frame(dt);
}

} // namespace testkit
