#pragma once

#include "scene/GameObject.h"

#include <glm/glm.hpp>

#include <cstdint>
#include <memory>
#include <vector>

class AllPairsDispatcher;
class AllPairsFilter;
class btBroadphaseInterface;
class btCollisionConfiguration;
class btConstraintSolver;
class btDiscreteDynamicsWorld;
struct StepContext;
class PhysicsBody;

// The one rigid-body world of the game: steps it at a fixed rate from the frame time, takes
// the bodies of destroyed objects out at a safe point, and turns new touches into onHit calls
// on both objects. Everything runs on the main thread, inside update.
class PhysicsEngine final : public IUpdate {
public:
    PhysicsEngine();
    ~PhysicsEngine();

    PhysicsEngine(const PhysicsEngine&) = delete;
    PhysicsEngine& operator=(const PhysicsEngine&) = delete;

    // Queued removals first, then as many fixed steps as the gathered frame time holds (at most six).
    void update(const StepContext& context) override;

    // One fixed step: immovable bodies drift, the world is simulated, new touches are reported.
    void step();

    // Bodies enter the world here and leave through pendingRemovals or forgetBody; the engine
    // never owns them (their objects do), so a removed body lives on until its object goes.
    void addBody(PhysicsBody* body);
    // The object of this body is going away: take the body out now and drop every reference to it.
    void forgetBody(PhysicsBody* body);
    // After a teleport or a change of shape: new bounds at once, so sweeps before the next step see it.
    void refreshBody(PhysicsBody* body);
    bool contains(const PhysicsBody* body) const;

    // Bodies in the world, the character controllers' capsules included.
    int bodyCount() const;
    std::uint64_t stepCount() const { return steps; }

    // For queries (rays, sweeps); bodies enter only through addBody, so every object in it is a PhysicsBody.
    btDiscreteDynamicsWorld& getWorld() { return *world; }

    const glm::vec3 gravity{0.0f, 0.0f, -9.81f};
    const float timeStep = 1.0f / 60.0f;
    // Down to 10 frames per second the world keeps real time; a longer frame (a pause, a stall)
    // is not made up, which would only make the world race once frames are fast again.
    static constexpr int maxStepsPerFrame = 6;
    const float maxBacklog = static_cast<float>(maxStepsPerFrame) * timeStep;
    float accumulator = 0.0f;

    // Bodies to take out of the world at the start of the next update, in order.
    std::vector<PhysicsBody*> pendingRemovals;

private:
    void removePending();
    void reportTouches();

    std::unique_ptr<btCollisionConfiguration> configuration;
    std::unique_ptr<AllPairsDispatcher> dispatcher;
    std::unique_ptr<btBroadphaseInterface> broadphase;
    std::unique_ptr<AllPairsFilter> pairFilter;
    std::unique_ptr<btConstraintSolver> solver;
    std::unique_ptr<btDiscreteDynamicsWorld> world;

    struct Touch {
        PhysicsBody* first;
        PhysicsBody* second;
        std::uint64_t key;     // the pair of body serials
        std::size_t order = 0; // of its first manifold in this step
    };
    // Pairs of body serials that had contact points at the last step, sorted.
    std::vector<std::uint64_t> touching;
    // The pairs in contact at this step, one entry each.
    std::vector<Touch> touchingNow;
    // New touches of the current step, being reported; entries of a forgotten body are cleared.
    std::vector<Touch> newTouches;
    std::uint64_t steps = 0;
};
