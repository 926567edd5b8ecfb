#include "app/GameInput.h"
#include "app/Replay.h"
#include "physics/Player.h"
#include "run/Run.h"
#include "world/ParticleSystem.h"
#include "world/SegmentManager.h"

#include <GLFW/glfw3.h>

#include <bit>
#include <cstring>

namespace {

// A pilot that needs no window: forward for a while, then a turn and a climb while drifting
// sideways, so the flight meets the rain, the trees' reach and the walls' pull of a real one.
class ProbePilot final : public InputDevice {
public:
    explicit ProbePilot(const int& step)
        : step(step)
    {
    }

    bool isPressed(int code) override
    {
        if (code == GLFW_KEY_W)
            return step < 120;
        if (code == GLFW_KEY_D)
            return step >= 60 && step < 150;
        if (code == GLFW_KEY_SPACE)
            return step >= 90;
        return false;
    }
    void getWindowSize(int& width, int& height) override
    {
        width = 1000;
        height = 750;
    }
    void getCursorPos(double& x, double& y) override
    {
        x = step >= 100 && step < 130 ? 512.0 : 500.0;
        y = step >= 140 && step < 160 ? 370.0 : 375.0;
    }
    void setCursorPos(double, double) override {}
    void hideCursor() override {}

private:
    const int& step;
};

// FNV-1a over the bytes of each value.
class Hash {
public:
    template <typename T> void add(const T& value)
    {
        unsigned char raw[sizeof(T)];
        std::memcpy(raw, &value, sizeof(T));
        for (unsigned char byte : raw) {
            state ^= byte;
            state *= 1099511628211ull;
        }
    }
    std::uint64_t value() const { return state; }

private:
    std::uint64_t state = 14695981039346656037ull;
};

constexpr int probeSteps = 180;

} // namespace

std::uint64_t worldFingerprint()
{
    // The probe flies a run of its own by the game's default rules and keys, whatever the
    // player has set or bound: nothing of the player's reaches it, and it touches nothing else.
    int step = 0;
    auto input = std::make_shared<GameInput>(std::make_unique<ProbePilot>(step), Controls());
    Run probe(RunRules::defaults(), std::move(input));
    for (; step < probeSteps; ++step)
        probe.step({1.0 / 60.0, true, false});

    Hash hash;
    Player& player = *probe.player;
    hash.add(player.getPosition());
    hash.add(player.health);
    hash.add(player.remainingTime);
    hash.add(player.level);
    for (const auto& segment : probe.segmentManager->segments) {
        hash.add(segment->getPosition());
        if (!segment->rain)
            continue;
        for (const auto& drop : segment->rain->getChildren())
            hash.add(drop->getPosition());
    }
    return hash.value();
}

bool replayFitsThisGame(const Replay& replay, std::string& error)
{
    if (replay.header.worldFingerprint == worldFingerprint())
        return true;
    error = "it was recorded in a game whose world behaves differently (another version or build), and would "
            "not play to the same end";
    return false;
}
