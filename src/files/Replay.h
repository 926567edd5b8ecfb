#pragma once

#include "input/Controls.h"
#include "input/InputDevice.h"
#include "run/RunRules.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A replay (".qfr") is what the game's update consumed, frame by frame, from the moment the
// world was created: the frame time and the input read through the InputDevice seam. The world
// is deterministic, so feeding the same frames to a new game grows the same forest, flies the
// same flight and ends the same way. Little-endian binary:
//
//   "QFREPLAY"  magic, 8 bytes
//   u32         format version (replayFormatVersion)
//   f32 x 5     difficulty, moveSensitivity, sensitivity, invert_mouse, baseHealth when the world was created
//   u64         the world's fingerprint (worldFingerprint): a recording plays to its end only in
//               a game whose world behaves as the one it was made in
//   u8, i32 x n number of actions, then the key bound to each action of the controls, in order
//   u32         runStart: frames of earlier runs of the session (a restart keeps the world, so a
//               run can only be reproduced from the world's creation; playback skips through them)
//   u32         frame count
//   u8, i32 x n number of key codes, then the codes; key bit i of a frame is code i
//   frames      u16 flags, f64 frame time, then the parts the flags announce, in flag order:
//                 1 focused (no data)          2 keys changed: u64 bits
//                 4 window size changed: i32 width, i32 height
//                 8 cursor away from the window centre: f64 x, f64 y
//                 16 scroll up / 32 scroll down this frame (no data)
//                 64 gamepad changed: f32 x 6 axes, u32 buttons (bit 31: a pad is connected)
//                 128 settings changed (F4, the settings screen): f32 x 4 as in the header
//                 256 a restart was chosen in this step (no data)
//                 512 keys bound anew (the controls screen): i32 per action, as in the header
//   "END!"      so that a file cut short anywhere is recognised
//
// Parts not announced keep their value of the frame before (the cursor: the window centre).
// Only steps of play are recorded: the frames spent in menus are not part of a run.

inline constexpr std::uint32_t replayFormatVersion = 2;
inline constexpr std::size_t replayMaxKeys = 64;
inline constexpr std::size_t gamepadAxisCount = std::tuple_size_v<decltype(GamepadState::axes)>;
inline constexpr std::uint32_t gamepadConnectedBit = 1u << 31;

// The settings that change what the world does; recorded so that a replay plays by the rules
// it was recorded under, whatever config.txt says today.
using ReplaySettings = RuleSettings;

// The live values of those settings.
ReplaySettings currentReplaySettings();
void applyReplaySettings(const ReplaySettings& settings);

struct ReplayFrame {
    double frameTime = 0.0;
    bool focused = true;
    std::uint64_t keys = 0;
    int windowWidth = 0;
    int windowHeight = 0;
    double cursorX = 0.0;
    double cursorY = 0.0;
    // +1 scroll up, -1 scroll down, 0 none.
    int scroll = 0;
    // A restart was chosen for this step (a menu's RESTART, or Enter at the game-over menu).
    bool restart = false;
    // The key of each action (Controls::codes order).
    std::array<int, actionCount> bindings{};
    std::array<float, gamepadAxisCount> gamepadAxes{};
    std::uint32_t gamepadButtons = 0;
    ReplaySettings settings;
    bool operator==(const ReplayFrame&) const = default;
};

struct ReplayHeader {
    ReplaySettings settings;
    float baseHealth = 5.0f;
    std::uint64_t worldFingerprint = 0;
    // The key bound to each action of the controls when the recording was made.
    std::vector<int> bindings;
    std::uint32_t runStart = 0;
    std::uint32_t frameCount = 0;
    std::vector<int> keyCodes;
};

// Turns frames into their bytes, each announcing only what changed since the one before.
class ReplayEncoder {
public:
    ReplayEncoder(const ReplaySettings& initial, const Controls& bindings);
    // Appends the frame's bytes to `out`.
    void append(const ReplayFrame& frame, std::string& out);

private:
    ReplayFrame previous;
};

// The header, the frames' bytes and the end mark: a whole file.
std::string writeReplay(const ReplayHeader& header, std::string_view frameBytes);

// A replay file checked from end to end; its frames are decoded again one at a time as they are played.
struct Replay {
    ReplayHeader header;
    std::string bytes;
    std::size_t framesOffset = 0;
};

// Parses a whole file. Never throws and never reads outside `bytes`: a file of another
// format version, cut short, or not a replay at all gives no replay and one sentence in `error`.
std::optional<Replay> parseReplay(std::string_view bytes, std::string& error);
std::optional<Replay> loadReplay(const std::filesystem::path& path, std::string& error);

// What the world does, in one number: a short scripted flight through a new world, hashed.
// It changes with anything that shapes a run (the rules, the physics, the models' hulls, the
// forest's layout), so a recording can tell a game it would not play to its end in.
std::uint64_t worldFingerprint();
// This build's fingerprint, worked out at most once per build: kept in `folder` (the player's
// cache folder, given by the game) under a key of the build (the program and the models the
// world is made of), and in memory once known. Without a folder, worked out at every call.
void keepFingerprintIn(const std::filesystem::path& folder);
std::uint64_t thisGamesFingerprint();
// What the kept fingerprint is filed under: the running program and the world's models, by
// name, size and time of change. Empty when the program cannot be found (nothing is kept).
std::string fingerprintBuildKey();
// False, with one sentence in `error`, when the recording was made in a world that behaves otherwise.
bool replayFitsThisGame(const Replay& replay, std::string& error);

// Walks the frames of a parsed replay.
class ReplayCursor {
public:
    explicit ReplayCursor(const Replay& replay);
    // The next frame, or nothing at the end (or at damage, which parseReplay has ruled out).
    std::optional<ReplayFrame> next(std::string* error = nullptr);
    std::size_t index() const { return frameIndex; }

private:
    const Replay* replay;
    std::size_t offset;
    std::size_t frameIndex = 0;
    ReplayFrame previous;
};

// Records the session: wraps the real input device to see every value the game reads through
// it, and keeps the encoded frames in memory until a run ends.
class ReplayRecorder : public std::enable_shared_from_this<ReplayRecorder> {
public:
    // A recording larger than this stops, and the game plays on unrecorded.
    static constexpr std::size_t defaultLimit = 50u * 1024u * 1024u;

    // `bindings`: the keys the world's first step is read by.
    // `rules`: those the recorded run is made with.
    explicit ReplayRecorder(const RunRules& rules, std::size_t limitBytes = defaultLimit,
                            std::uint64_t fingerprint = thisGamesFingerprint(), const Controls& bindings = playerControls());

    // The device GameInput should read: the real one, watched.
    std::unique_ptr<InputDevice> watch(std::unique_ptr<InputDevice> device);

    // One step of play, after its input was read, with the keys it was read by. `scroll` and
    // `restart` as in ReplayFrame.
    void recordFrame(double frameTime, bool focused, int scroll, bool restart, const Controls& bindings,
                     const ReplaySettings& settings);
    // A restart began a new run at the frame just recorded.
    void startRun();
    // The whole file for the session so far, with the current run marked.
    std::string fileContent() const;
    // Writes fileContent() atomically; false with a message when it could not.
    bool save(const std::filesystem::path& path, std::string& error) const;

    bool stopped() const { return full; }
    std::size_t frameCount() const { return frames; }

    // Filled by the watching device during a frame.
    void noteKey(int code, bool pressed);
    void noteWindowSize(int width, int height);
    void noteCursor(double x, double y);
    void noteGamepad(const GamepadState& pad);

private:
    ReplayHeader header;
    ReplayEncoder encoder;
    std::string frameBytes;
    std::size_t frames = 0;
    std::size_t limit;
    bool full = false;
    ReplayFrame pending;
    bool cursorRead = false;
};

// Plays recorded frames to GameInput as if they came from the keyboard and mouse.
class ReplayInputDevice : public InputDevice {
public:
    explicit ReplayInputDevice(std::vector<int> keyCodes);
    void show(const ReplayFrame& frame) { current = frame; }

    bool isPressed(int code) override;
    void getWindowSize(int& width, int& height) override;
    void getCursorPos(double& x, double& y) override;
    void setCursorPos(double, double) override {}
    void hideCursor() override {}
    GamepadState gamepad() override;

private:
    std::vector<int> keyCodes;
    ReplayFrame current;
};
