#pragma once

#include "app/Game.h"
#include "input/GameInput.h"
#include "physics/PhysicsEngine.h"
#include "physics/PhysxObjectDynamic.h"
#include "physics/Player.h"
#include "support/TestSupport.h"

#include <memory>

namespace testkit {

// A whole game without a window: scripted input, the real physics engine and player,
// and frames of a chosen length run through the game's own update.
class GameHarness {
public:
    // The game's own world: an empty one (tests build their surroundings), or with the ring of
    // segments grown from the start of the world's random sequence.
    explicit GameHarness(bool withSegments = false);
    ~GameHarness();

    // One frame of the game's update with the given frame time.
    void frame(float dt);
    void frames(int count, float dt);

    // An immovable box body of the given category, as the segments build their floor, walls and ceiling.
    std::shared_ptr<PhysxObjectDynamic> boundary(std::uint32_t type, glm::vec3 position, glm::vec3 halfExtents);

    void press(int code) { keys->pressed[code] = true; }
    void release(int code) { keys->pressed[code] = false; }

    Game game;
    FakeInputDevice* keys = nullptr;
    std::shared_ptr<PhysicsEngine> physics;
    std::shared_ptr<Player> player;
};

} // namespace testkit
