// The golden replays, made by playing the real game: a scripted pilot flies it in its window,
// with the game's own recording on, and the final state is written down as the expectation.
//   golden record pollen|trees|rain FILE.qfr   plays and records; the last line is the final state
//   golden expect FILE.qfr                     plays a recording back; the last line is the final state
// Runs from build/bin (the game's "../../assets/"); tools/replays/record.sh runs it for all three.
#include "app/Game.h"
#include "files/Files.h"
#include "files/Replay.h"
#include "files/ReplayPlayer.h"
#include "input/GameInput.h"
#include "physics/PhysxObjectDynamic.h"
#include "physics/Player.h"
#include "scene/Camera.h"
#include "world/ParticleSystem.h"
#include "world/SegmentManager.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <optional>
#include <set>
#include <string>

namespace {

enum class Scenario { Pollen, Trees, Rain };

// The pilots fly at the pace of software rendering on a small machine, in steps of exactly this
// length whatever the machine's real pace: a busy machine flies the same flight as an idle one.
constexpr double goldenFrameTime = 1.0 / 24.0;

// Keys instead of hands: each frame the pilot looks at the world and chooses what to hold.
class Pilot final : public InputDevice {
public:
    Pilot(Game& game, Scenario scenario)
        : game(game)
        , scenario(scenario)
    {
    }

    bool isPressed(int code) override { return down.count(code) != 0; }
    void getWindowSize(int& width, int& height) override
    {
        width = 1000;
        height = 750;
    }
    void getCursorPos(double& x, double& y) override
    {
        x = 500;
        y = 375;
    }
    void setCursorPos(double, double) override {}
    void hideCursor() override {}

    // Chooses the keys for the next frame; false once the flight has shown what it is for.
    void decide();
    // The flight has shown what it is for.
    bool achieved() const;
    // ... and may end.
    bool finished() const { return scenario == Scenario::Trees ? crashes >= 2 : achieved(); }
    std::string summary() const;

private:
    std::optional<glm::vec3> target(const glm::vec3& from) const;
    void steerTo(const glm::vec3& from, const glm::vec3& to);
    // A careful pilot stops short of a tree or mushroom in its way and slides past it.
    bool avoidObstacle(const glm::vec3& from);

    // The player's run the pilot flies.
    Run& run() const { return *game.playerRun(); }

    Game& game;
    Scenario scenario;
    std::set<int> down;
    int frames = 0;
    float playTime = 0.0f;
    float lastRemaining = 15.0f;
    int pollen = 0;
    int crashes = 0;
    bool knockedBack = false;
    float endingSince = -1.0f;
    int quitFrames = 0;
};

std::optional<glm::vec3> Pilot::target(const glm::vec3& from) const
{
    std::optional<glm::vec3> best;
    float bestScore = std::numeric_limits<float>::max();
    for (const auto& segment : run().segmentManager->segments) {
        if (scenario == Scenario::Rain) {
            for (const auto& drop : segment->rain->getChildren()) {
                if (drop->isDestroyed())
                    continue;
                const glm::vec3 p = drop->getPosition();
                // A drop still high enough to be met on its way down, ahead of the creature.
                if (p.x < from.x - 1.0f || p.z < from.z - 2.0f)
                    continue;
                const float score = glm::distance(glm::vec2(p), glm::vec2(from));
                if (score < bestScore) {
                    bestScore = score;
                    best = p;
                }
            }
            continue;
        }
        const std::uint32_t wanted = scenario == Scenario::Pollen ? COLLISION_POLLEN : COLLISION_TREE;
        for (const auto& object : segment->contents) {
            if (object->isDestroyed() || object->collisionType != wanted)
                continue;
            const glm::vec3 p = object->getPosition();
            if (p.x < from.x - 1.0f || p.x > from.x + 150.0f)
                continue;
            const float score = glm::distance(p, from);
            if (score < bestScore) {
                bestScore = score;
                best = p;
            }
        }
    }
    return best;
}

void Pilot::steerTo(const glm::vec3& from, const glm::vec3& to)
{
    const Camera& camera = *run().player->camera;
    const glm::vec3 d = to - from;
    const float side = glm::dot(d, camera.right);
    const float rise = glm::dot(d, camera.up);
    // Half a frame's move: closer than that, another key press would only overshoot.
    const float near = std::max(1.0f, 0.5f * game.deltaTime * 50.0f);
    if (side > near)
        down.insert(GLFW_KEY_D);
    else if (side < -near)
        down.insert(GLFW_KEY_A);
    if (rise > near)
        down.insert(GLFW_KEY_SPACE);
    else if (rise < -near)
        down.insert(GLFW_KEY_LEFT_SHIFT);
    const float ahead = glm::dot(d, camera.front);
    if (scenario == Scenario::Rain) {
        // Wait under the drop: S holds the creature against its own flight.
        if (ahead < 3.0f || std::abs(side) > ahead)
            down.insert(GLFW_KEY_S);
    } else if (scenario == Scenario::Trees) {
        down.insert(GLFW_KEY_W);
    } else if (std::abs(side) > ahead * 0.5f || std::abs(rise) > ahead * 0.5f) {
        // Careful: slow down while a pollen is still off to the side.
        down.insert(GLFW_KEY_S);
    }
}

bool Pilot::avoidObstacle(const glm::vec3& from)
{
    const Camera& camera = *run().player->camera;
    for (const auto& segment : run().segmentManager->segments) {
        for (const auto& object : segment->contents) {
            if (object->collisionType != COLLISION_TREE && object->collisionType != COLLISION_SHROOM)
                continue;
            const glm::vec3 d = object->getPosition() - from;
            const float ahead = glm::dot(d, camera.front);
            const float side = glm::dot(d, camera.right);
            const bool low = object->collisionType == COLLISION_SHROOM && from.z > 28.0f;
            if (ahead > 0.0f && ahead < 20.0f && std::abs(side) < 9.0f && !low) {
                down.insert(side > 0.0f ? GLFW_KEY_A : GLFW_KEY_D);
                return true;
            }
        }
    }
    return false;
}

void Pilot::decide()
{
    ++frames;
    playTime = run().levelTimer + 15.0f * static_cast<float>(run().player->level);
    Player& player = *run().player;
    if (player.remainingTime > lastRemaining + 0.01f && !run().runOver)
        ++pollen;
    lastRemaining = player.remainingTime;
    const bool knocked = player.knockbackFrame >= 0;
    if (knocked && !knockedBack)
        ++crashes;
    knockedBack = knocked;

    down.clear();
    if (endingSince < 0.0f && (finished() || run().runOver || playTime > 60.0f))
        endingSince = playTime;
    // A moment to see how it ended, then Escape, held a few frames and let go.
    if (endingSince >= 0.0f && (run().runOver || playTime > endingSince + 1.5f)) {
        if (quitFrames++ < 3)
            down.insert(GLFW_KEY_ESCAPE);
        return;
    }
    // The rain flight first hovers a while at the start, then goes looking for drops.
    if (scenario == Scenario::Rain && playTime < 5.0f) {
        down.insert(GLFW_KEY_S);
        return;
    }
    const glm::vec3 from = player.getPosition();
    if (scenario == Scenario::Pollen && avoidObstacle(from))
        return;
    if (const auto to = target(from))
        steerTo(from, *to);
    else if (scenario == Scenario::Rain)
        down.insert(GLFW_KEY_S);
}

bool Pilot::achieved() const
{
    switch (scenario) {
    case Scenario::Pollen:
        return run().player->level >= 1 && pollen >= 2 && playTime >= 18.0f;
    case Scenario::Trees:
        return crashes >= 1;
    case Scenario::Rain:
        return run().player->health <= 0.0f;
    }
    return false;
}

std::string Pilot::summary() const
{
    return "pilot: " + std::to_string(frames) + " frames, " + std::to_string(playTime) + " s of play, " +
           std::to_string(pollen) + " pollen, " + std::to_string(crashes) + " crashes, health " +
           std::to_string(run().player->health);
}

int record(Scenario scenario, const std::filesystem::path& out)
{
    Game game;
    if (!game.initialize("Quillfen")) {
        std::cerr << "golden: the game did not start\n";
        return 1;
    }
    auto owned = std::make_unique<Pilot>(game, scenario);
    Pilot& pilot = *owned;
    game.recordWith(std::move(owned));
    while (!glfwWindowShouldClose(game.window)) {
        pilot.decide();
        glfwSwapBuffers(game.window);
        glfwPollEvents();
        game.step(goldenFrameTime);
        game.render();
    }
    logMessage(pilot.summary());
    std::string error;
    if (!game.playerRun()->recorder->save(out, error)) {
        std::cerr << "golden: " << out << ": " << error << "\n";
        return 1;
    }
    const bool ok = pilot.achieved();
    if (!ok)
        std::cerr << "golden: the flight did not show what it is for; try again\n";
    logMessage(finalStateLine(*game.playerRun()));
    glfwTerminate();
    return ok ? 0 : 1;
}

int expect(const std::filesystem::path& file)
{
    std::string error;
    const auto replay = loadReplay(file, error);
    if (!replay) {
        std::cerr << "golden: " << file << ": " << error << "\n";
        return 1;
    }
    // The game starts for the models the world is made of; the recording flies a run of its own.
    Game game;
    if (!game.initialize("Quillfen")) {
        std::cerr << "golden: the game did not start\n";
        return 1;
    }
    ReplayPlayer player(*replay);
    const std::unique_ptr<Run> run = player.makeRun();
    player.playToEnd(*run);
    logMessage(finalStateLine(*run));
    glfwTerminate();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "record" && argc == 4) {
        const std::string name = argv[2];
        if (name == "pollen")
            return record(Scenario::Pollen, argv[3]);
        if (name == "trees")
            return record(Scenario::Trees, argv[3]);
        if (name == "rain")
            return record(Scenario::Rain, argv[3]);
    }
    if (mode == "expect" && argc == 3)
        return expect(argv[2]);
    std::cerr << "usage: golden record pollen|trees|rain FILE.qfr | golden expect FILE.qfr\n";
    return 2;
}
