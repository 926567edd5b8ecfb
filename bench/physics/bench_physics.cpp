// Cost of the physics update with rain over a forest floor: 10, 100 and 1,000 drops falling at
// 9.81 units/s over a floor with 200 immovable obstacles. Drops that land are destroyed and
// replaced at the ceiling, as the rain emitters do, so the count stays steady.
//
//   bench_physics [--fps N] [drop counts...]
//
// Each update is fed a frame of 1/N s (60 by default): below 60 frames per second an update
// takes several fixed steps, and its cost is what a frame pays.
#include "app/Game.h"
#include "physics/PhysicsEngine.h"
#include "physics/PhysxObjectDynamic.h"
#include "render/Mesh.h"
#include "render/Model.h"
#include "run/StepContext.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr float worldLength = 800.0f; // four segments of 200
constexpr float worldWidth = 75.0f;
constexpr float ceiling = 75.0f;
constexpr int obstacleCount = 200;
constexpr int warmUpFrames = 180; // long enough for resting obstacles to fall asleep
constexpr int measuredFrames = 600;

std::shared_ptr<Model> hullModel(std::vector<glm::vec3> corners)
{
    auto mesh = std::make_shared<Mesh>(glm::mat4(1.0f), glm::mat4(1.0f));
    mesh->positions = std::move(corners);
    auto model = std::make_shared<Model>();
    model->meshes.push_back(mesh);
    return model;
}

std::shared_ptr<Model> boxModel()
{
    std::vector<glm::vec3> corners;
    for (int i = 0; i < 8; ++i)
        corners.emplace_back((i & 1) ? 1.0f : -1.0f, (i & 2) ? 1.0f : -1.0f, (i & 4) ? 1.0f : -1.0f);
    return hullModel(corners);
}

std::shared_ptr<Model> dropModel()
{
    const float r = 0.1f;
    return hullModel({{r, 0, 0}, {-r, 0, 0}, {0, r, 0}, {0, -r, 0}, {0, 0, 2 * r}, {0, 0, -r}});
}

class Drop : public PhysxObjectDynamic {
public:
    Drop(std::shared_ptr<Model> model, std::shared_ptr<PhysicsEngine> engine)
        : PhysxObjectDynamic(std::move(model), std::move(engine))
    {
        collisionType = 16;
        setCollisionMask(398);
        makeImmovable();
        setScale(glm::vec3(2.0f));
        setLinearVelocity(glm::vec3(0.0f, 0.0f, -9.81f));
    }
    void onHit(PhysxObject*) override { destroy(); }
};

struct Result {
    int landed;
    double stepsPerFrame;
    double meanMs;
    double p95Ms;
    double maxMs;
};

Result run(int dropCount, float frameTime)
{
    auto engine = std::make_shared<PhysicsEngine>();
    std::mt19937 random(1234);
    std::uniform_real_distribution<float> along(0.0f, worldLength);
    std::uniform_real_distribution<float> across(-worldWidth / 2.0f, worldWidth / 2.0f);
    std::uniform_real_distribution<float> height(2.0f, ceiling);
    std::uniform_real_distribution<float> turn(0.0f, 360.0f);

    auto floor = std::make_shared<PhysxObjectDynamic>(nullptr, engine);
    floor->collisionType = 2;
    floor->setCollisionMask(1);
    floor->makeImmovable();
    floor->setScale(glm::vec3(worldLength / 2.0f, worldWidth / 2.0f, 1.0f));
    floor->setPosition(glm::vec3(worldLength / 2.0f, 0.0f, -1.0f));

    auto box = boxModel();
    std::vector<std::shared_ptr<PhysxObjectDynamic>> obstacles;
    for (int i = 0; i < obstacleCount; ++i) {
        auto obstacle = std::make_shared<PhysxObjectDynamic>(box, engine);
        obstacle->collisionType = 128;
        obstacle->setCollisionMask(1);
        obstacle->makeImmovable();
        // Tree-sized: standing on the floor, 3 wide and 30 high.
        obstacle->setScale(glm::vec3(1.5f, 1.5f, 15.0f));
        obstacle->setRotation(glm::vec3(0.0f, 0.0f, turn(random)));
        obstacle->setPosition(glm::vec3(along(random), across(random), 15.0f));
        obstacles.push_back(obstacle);
    }

    auto dropShape = dropModel();
    std::vector<std::shared_ptr<Drop>> drops;
    auto spawn = [&](float z) {
        auto drop = std::make_shared<Drop>(dropShape, engine);
        drop->setPosition(glm::vec3(along(random), across(random), z));
        drops.push_back(drop);
    };
    for (int i = 0; i < dropCount; ++i)
        spawn(height(random));

    StepContext step;
    step.deltaTime = frameTime;
    std::vector<double> times;
    times.reserve(measuredFrames);
    int landed = 0;
    std::uint64_t measuredFromStep = 0;
    for (int i = 0; i < warmUpFrames + measuredFrames; ++i) {
        if (i == warmUpFrames)
            measuredFromStep = engine->stepCount();
        // The emitters' part of a frame: landed drops go, new ones start at the ceiling.
        const std::size_t before = drops.size();
        drops.erase(std::remove_if(drops.begin(), drops.end(), [](const auto& d) { return d->isDestroyed(); }),
                    drops.end());
        const int gone = static_cast<int>(before - drops.size());
        for (std::size_t n = drops.size(); n < before; ++n)
            spawn(ceiling);
        if (i >= warmUpFrames)
            landed += gone;

        const auto start = std::chrono::steady_clock::now();
        engine->update(step);
        const auto end = std::chrono::steady_clock::now();
        if (i >= warmUpFrames)
            times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }

    std::sort(times.begin(), times.end());
    double sum = 0.0;
    for (double t : times)
        sum += t;
    const double stepsPerFrame = static_cast<double>(engine->stepCount() - measuredFromStep) / measuredFrames;
    return Result{landed, stepsPerFrame, sum / times.size(), times[times.size() * 95 / 100], times.back()};
}

} // namespace

int main(int argc, char** argv)
{
    // Drop counts may be given on the command line; 10, 100 and 1,000 by default.
    std::vector<int> counts;
    int fps = 60;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--fps" && i + 1 < argc)
            fps = std::max(1, std::atoi(argv[++i]));
        else
            counts.push_back(std::atoi(argv[i]));
    }
    if (counts.empty())
        counts = {10, 100, 1000};

    std::printf("%d obstacles, %d measured frames of 1/%d s after %d warm-up frames\n", obstacleCount,
                measuredFrames, fps, warmUpFrames);
    std::printf("drops  landed  steps/frame  mean ms/frame  p95 ms  max ms  us per drop and step\n");
    for (int drops : counts) {
        const Result r = run(drops, 1.0f / static_cast<float>(fps));
        std::printf("%5d  %6d  %11.2f  %13.3f  %6.3f  %6.3f  %20.2f\n", drops, r.landed, r.stepsPerFrame, r.meanMs,
                    r.p95Ms, r.maxMs, 1000.0 * r.meanMs / (drops * r.stepsPerFrame));
    }
    return EXIT_SUCCESS;
}
