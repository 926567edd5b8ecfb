#include "files/Files.h"
#include "files/Replay.h"
#include "files/UserFolders.h"
#include "input/GameInput.h"
#include "physics/Player.h"
#include "run/Run.h"
#include "world/ParticleSystem.h"
#include "world/SegmentManager.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>
#include <sstream>
#include <vector>

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

namespace {

std::filesystem::path fingerprintFolder;
std::optional<std::uint64_t> knownFingerprint;

void addFile(Hash& hash, const std::filesystem::path& path, const std::string& name)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    const auto changed = std::filesystem::last_write_time(path, error).time_since_epoch().count();
    for (char c : name)
        hash.add(c);
    hash.add(error ? std::uintmax_t{0} : size);
    hash.add(error ? decltype(changed){0} : changed);
}

// A kept line: the build key, then the fingerprint, both in hexadecimal.
std::optional<std::uint64_t> keptFingerprint(const std::filesystem::path& file, const std::string& key)
{
    std::string content;
    if (readRegularFile(file.string(), 256, content) != FileRead::ok)
        return std::nullopt;
    std::istringstream in(content);
    std::string keptKey;
    std::string value;
    if (!(in >> keptKey >> value) || keptKey != key || value.size() != 16)
        return std::nullopt;
    std::uint64_t fingerprint = 0;
    const auto [end, failure] = std::from_chars(value.data(), value.data() + value.size(), fingerprint, 16);
    if (failure != std::errc() || end != value.data() + value.size())
        return std::nullopt;
    return fingerprint;
}

std::string hex(std::uint64_t value)
{
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

} // namespace

void keepFingerprintIn(const std::filesystem::path& folder)
{
    fingerprintFolder = folder;
    knownFingerprint.reset();
}

std::string fingerprintBuildKey()
{
    const std::filesystem::path program = runningExecutable();
    if (program.empty())
        return {};
    Hash hash;
    addFile(hash, program, program.string());
    // The hulls of the trees, mushrooms and the creature come from the models.
    const std::filesystem::path models = assetPath("models");
    std::error_code error;
    std::vector<std::filesystem::path> files;
    for (std::filesystem::recursive_directory_iterator it(models, error), end; !error && it != end; it.increment(error))
        if (it->is_regular_file(error))
            files.push_back(it->path());
    std::sort(files.begin(), files.end());
    for (const auto& file : files)
        addFile(hash, file, std::filesystem::relative(file, models, error).string());
    return hex(hash.value());
}

std::uint64_t thisGamesFingerprint()
{
    if (fingerprintFolder.empty())
        return worldFingerprint();
    if (knownFingerprint)
        return *knownFingerprint;
    const std::string key = fingerprintBuildKey();
    const std::filesystem::path file = fingerprintFolder / "world-fingerprint";
    if (!key.empty()) {
        if (const auto kept = keptFingerprint(file, key))
            return *(knownFingerprint = kept);
    }
    knownFingerprint = worldFingerprint();
    std::string error;
    // A cache that cannot be written costs the next start the probe's flight, nothing more.
    if (!key.empty() && !writeFileAtomically(file, key + " " + hex(*knownFingerprint) + "\n", error))
        logMessage("World fingerprint: not kept: " + error);
    return *knownFingerprint;
}

bool replayFitsThisGame(const Replay& replay, std::string& error)
{
    if (replay.header.worldFingerprint == thisGamesFingerprint())
        return true;
    error = "it was recorded in a game whose world behaves differently (another version or build), and would "
            "not play to the same end";
    return false;
}
