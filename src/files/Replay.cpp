#include "files/Replay.h"

#include "files/Config.h"
#include "files/Files.h"
#include "files/UserFolders.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <fstream>
#include <new>
#include <sstream>

namespace {

constexpr std::string_view magic = "QFREPLAY";
constexpr std::string_view endMark = "END!";
// Flag bits of a frame, in the order their data follows.
enum : std::uint16_t {
    flagFocused = 1,
    flagKeys = 2,
    flagWindow = 4,
    flagCursor = 8,
    flagScrollUp = 16,
    flagScrollDown = 32,
    flagGamepad = 64,
    flagSettings = 128,
    flagRestart = 256,
    flagBindings = 512,
};
// Far larger than any screen, small enough that the centre arithmetic never overflows.
constexpr int maxWindowSide = 1 << 16;
// The smallest frame: flags and frame time.
constexpr std::size_t minFrameBytes = 2 + 8;
constexpr std::uint16_t knownFlags = 1023;

template <typename T> void put(std::string& out, T value)
{
    static_assert(std::endian::native == std::endian::little, "replays are written little-endian");
    char raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));
    out.append(raw, sizeof(T));
}

void putSettings(std::string& out, const ReplaySettings& s)
{
    put(out, s.difficulty);
    put(out, s.moveSensitivity);
    put(out, s.sensitivity);
    put(out, s.invertMouse);
}

std::array<int, actionCount> bindingsOf(const Controls& controls)
{
    std::array<int, actionCount> keys{};
    for (std::size_t i = 0; i < actionCount; ++i)
        keys[i] = controls.key(static_cast<Action>(i));
    return keys;
}

// Reads values off the front of a byte range; any read past its end fails and leaves `ok` false.
class Reader {
public:
    Reader(std::string_view bytes, std::size_t offset)
        : bytes(bytes)
        , offset(offset)
    {
    }

    template <typename T> bool get(T& value)
    {
        if (bytes.size() - offset < sizeof(T))
            return false;
        std::memcpy(&value, bytes.data() + offset, sizeof(T));
        offset += sizeof(T);
        return true;
    }

    bool getSettings(ReplaySettings& s)
    {
        return get(s.difficulty) && get(s.moveSensitivity) && get(s.sensitivity) && get(s.invertMouse);
    }
    std::size_t left() const { return bytes.size() - offset; }

    std::string_view bytes;
    std::size_t offset;
};

bool finiteSettings(const ReplaySettings& s)
{
    return std::isfinite(s.difficulty) && std::isfinite(s.moveSensitivity) && std::isfinite(s.sensitivity) &&
           std::isfinite(s.invertMouse);
}

ReplayFrame startingFrame(const ReplaySettings& settings, const std::array<int, actionCount>& bindings)
{
    ReplayFrame frame;
    frame.settings = settings;
    frame.bindings = bindings;
    return frame;
}

// Keys no game could have bound: unknown codes, the fixed keys, one key for two actions.
bool bindableSet(const std::array<int, actionCount>& keys)
{
    return Controls::fromCodes(std::vector<int>(keys.begin(), keys.end())).has_value();
}

// Decodes one frame after `previous`; false with the reason in `error` on a cut or a bad value.
// Keys the header names, a window no larger than a screen, a cursor and sticks where they can be.
bool couldBeRecorded(const ReplayFrame& f, std::size_t keyCount)
{
    const bool keysKnown = keyCount >= 64 || (f.keys >> keyCount) == 0;
    const bool windowSane = f.windowWidth >= 0 && f.windowHeight >= 0 && f.windowWidth <= maxWindowSide &&
                            f.windowHeight <= maxWindowSide;
    const bool axesSane = std::all_of(f.gamepadAxes.begin(), f.gamepadAxes.end(),
                                      [](float a) { return std::isfinite(a) && a >= -1.0f && a <= 1.0f; });
    return keysKnown && windowSane && std::isfinite(f.cursorX) && std::isfinite(f.cursorY) && axesSane &&
           finiteSettings(f.settings);
}

bool decodeFrame(Reader& in, ReplayFrame& previous, std::size_t keyCount, std::string& error)
{
    ReplayFrame f = previous;
    std::uint16_t flags = 0;
    if (!in.get(flags) || !in.get(f.frameTime)) {
        error = "it is cut short";
        return false;
    }
    if (flags & ~knownFlags) {
        error = "a frame holds values no game could have recorded";
        return false;
    }
    f.restart = (flags & flagRestart) != 0;
    if (!std::isfinite(f.frameTime) || f.frameTime < 0.0) {
        error = "a frame has an impossible frame time";
        return false;
    }
    f.focused = (flags & flagFocused) != 0;
    bool ok = true;
    if (flags & flagKeys)
        ok = in.get(f.keys);
    if (ok && (flags & flagWindow))
        ok = in.get(f.windowWidth) && in.get(f.windowHeight);
    f.cursorX = f.windowWidth / 2;
    f.cursorY = f.windowHeight / 2;
    if (ok && (flags & flagCursor))
        ok = in.get(f.cursorX) && in.get(f.cursorY);
    if (ok && (flags & flagGamepad)) {
        for (float& axis : f.gamepadAxes)
            ok = ok && in.get(axis);
        ok = ok && in.get(f.gamepadButtons);
    }
    if (ok && (flags & flagSettings))
        ok = in.getSettings(f.settings);
    if (ok && (flags & flagBindings)) {
        for (int& key : f.bindings)
            ok = ok && in.get(key);
        if (ok && !bindableSet(f.bindings)) {
            error = "a frame holds values no game could have recorded";
            return false;
        }
    }
    if (!ok) {
        error = "it is cut short";
        return false;
    }
    if ((flags & flagScrollUp) && (flags & flagScrollDown)) {
        error = "a frame scrolls up and down at once";
        return false;
    }
    f.scroll = (flags & flagScrollUp) ? 1 : (flags & flagScrollDown) ? -1 : 0;
    if (!couldBeRecorded(f, keyCount)) {
        error = "a frame holds values no game could have recorded";
        return false;
    }
    previous = f;
    return true;
}

std::array<int, actionCount> headerBindings(const ReplayHeader& header)
{
    std::array<int, actionCount> keys{};
    for (std::size_t i = 0; i < actionCount && i < header.bindings.size(); ++i)
        keys[i] = header.bindings[i];
    return keys;
}

// The header after the format version: the rules, the fingerprint, the keys; false with why.
bool parseHeader(Reader& in, ReplayHeader& h, std::string& error)
{
    std::uint8_t keyCount = 0;
    std::uint8_t bindingCount = 0;
    if (!in.getSettings(h.settings) || !in.get(h.baseHealth) || !in.get(h.worldFingerprint) ||
        !in.get(bindingCount)) {
        error = "it is cut short";
        return false;
    }
    for (std::uint8_t i = 0; i < bindingCount; ++i) {
        int code = 0;
        if (!in.get(code)) {
            error = "it is cut short";
            return false;
        }
        h.bindings.push_back(code);
    }
    if (!Controls::fromCodes(h.bindings)) {
        error = "its header holds values no game could have recorded";
        return false;
    }
    if (!in.get(h.runStart) || !in.get(h.frameCount) || !in.get(keyCount)) {
        error = "it is cut short";
        return false;
    }
    if (!finiteSettings(h.settings) || !std::isfinite(h.baseHealth) || !(h.baseHealth > 0.0f) ||
        keyCount > replayMaxKeys || h.runStart > h.frameCount) {
        error = "its header holds values no game could have recorded";
        return false;
    }
    for (std::uint8_t i = 0; i < keyCount; ++i) {
        int code = 0;
        if (!in.get(code)) {
            error = "it is cut short";
            return false;
        }
        h.keyCodes.push_back(code);
    }
    return true;
}

std::optional<Replay> parse(std::string_view bytes, std::string& error)
{
    if (bytes.size() < magic.size() || bytes.substr(0, magic.size()) != magic) {
        error = "it is not a Quillfen replay";
        return std::nullopt;
    }
    Reader in(bytes, magic.size());
    std::uint32_t version = 0;
    if (!in.get(version)) {
        error = "it is cut short";
        return std::nullopt;
    }
    if (version != replayFormatVersion) {
        error = "it was written in replay format " + std::to_string(version) + ", and this game reads format " +
                std::to_string(replayFormatVersion);
        return std::nullopt;
    }
    Replay replay;
    ReplayHeader& h = replay.header;
    if (!parseHeader(in, h, error))
        return std::nullopt;
    // Every frame takes some bytes: a count the file cannot hold means a cut or damage.
    if (h.frameCount > in.left() / minFrameBytes) {
        error = "it is cut short";
        return std::nullopt;
    }
    replay.framesOffset = in.offset;
    ReplayFrame previous = startingFrame(h.settings, headerBindings(h));
    for (std::uint32_t i = 0; i < h.frameCount; ++i)
        if (!decodeFrame(in, previous, h.keyCodes.size(), error))
            return std::nullopt;
    if (in.left() < endMark.size()) {
        error = "it is cut short";
        return std::nullopt;
    }
    if (bytes.substr(in.offset) != endMark) {
        error = "it holds more than its frames (damaged, or not a replay)";
        return std::nullopt;
    }
    replay.bytes.assign(bytes);
    return replay;
}


} // namespace

ReplaySettings currentReplaySettings()
{
    return {difficulty, moveSensitivity, sensitivity, invert_mouse};
}

void applyReplaySettings(const ReplaySettings& settings)
{
    difficulty = settings.difficulty;
    moveSensitivity = settings.moveSensitivity;
    sensitivity = settings.sensitivity;
    invert_mouse = settings.invertMouse;
}

ReplayEncoder::ReplayEncoder(const ReplaySettings& initial, const Controls& bindings)
    : previous(startingFrame(initial, bindingsOf(bindings)))
{
}

void ReplayEncoder::append(const ReplayFrame& f, std::string& out)
{
    const bool cursorAway = f.cursorX != f.windowWidth / 2 || f.cursorY != f.windowHeight / 2;
    std::uint16_t flags = 0;
    if (f.focused)
        flags |= flagFocused;
    if (f.keys != previous.keys)
        flags |= flagKeys;
    if (f.windowWidth != previous.windowWidth || f.windowHeight != previous.windowHeight)
        flags |= flagWindow;
    if (cursorAway)
        flags |= flagCursor;
    if (f.scroll > 0)
        flags |= flagScrollUp;
    if (f.scroll < 0)
        flags |= flagScrollDown;
    if (f.gamepadAxes != previous.gamepadAxes || f.gamepadButtons != previous.gamepadButtons)
        flags |= flagGamepad;
    if (!(f.settings == previous.settings))
        flags |= flagSettings;
    if (f.restart)
        flags |= flagRestart;
    if (f.bindings != previous.bindings)
        flags |= flagBindings;

    put(out, flags);
    put(out, f.frameTime);
    if (flags & flagKeys)
        put(out, f.keys);
    if (flags & flagWindow) {
        put(out, f.windowWidth);
        put(out, f.windowHeight);
    }
    if (flags & flagCursor) {
        put(out, f.cursorX);
        put(out, f.cursorY);
    }
    if (flags & flagGamepad) {
        for (float axis : f.gamepadAxes)
            put(out, axis);
        put(out, f.gamepadButtons);
    }
    if (flags & flagSettings)
        putSettings(out, f.settings);
    if (flags & flagBindings)
        for (int key : f.bindings)
            put(out, key);
    previous = f;
}

std::string writeReplay(const ReplayHeader& header, std::string_view frameBytes)
{
    std::string out(magic);
    put(out, replayFormatVersion);
    putSettings(out, header.settings);
    put(out, header.baseHealth);
    put(out, header.worldFingerprint);
    put(out, static_cast<std::uint8_t>(header.bindings.size()));
    for (int code : header.bindings)
        put(out, code);
    put(out, header.runStart);
    put(out, header.frameCount);
    put(out, static_cast<std::uint8_t>(header.keyCodes.size()));
    for (int code : header.keyCodes)
        put(out, code);
    out.append(frameBytes);
    out.append(endMark);
    return out;
}

std::optional<Replay> parseReplay(std::string_view bytes, std::string& error)
{
    try {
        return parse(bytes, error);
    } catch (const std::bad_alloc&) {
        error = "it is too large to hold in memory";
        return std::nullopt;
    }
}

std::optional<Replay> loadReplay(const std::filesystem::path& path, std::string& error)
{
    // No pipe or device, and nothing larger than the recorder writes (its limit and room for
    // the header), is taken into memory.
    constexpr std::uintmax_t largestReplay = ReplayRecorder::defaultLimit + 64 * 1024;
    std::string content;
    switch (readRegularFile(path.string(), largestReplay, content)) {
    case FileRead::ok:
        return parseReplay(content, error);
    case FileRead::cannotOpen:
        error = "it cannot be opened";
        break;
    case FileRead::notRegular:
        error = "it is not a regular file";
        break;
    case FileRead::tooLarge:
        error = "it is larger than any recording (" + std::to_string(ReplayRecorder::defaultLimit / (1024 * 1024)) +
                " MB)";
        break;
    case FileRead::cannotRead:
        error = "it cannot be read";
        break;
    }
    return std::nullopt;
}

ReplayCursor::ReplayCursor(const Replay& replay)
    : replay(&replay)
    , offset(replay.framesOffset)
    , previous(startingFrame(replay.header.settings, headerBindings(replay.header)))
{
}

std::optional<ReplayFrame> ReplayCursor::next(std::string* error)
{
    if (frameIndex >= replay->header.frameCount)
        return std::nullopt;
    Reader in(replay->bytes, offset);
    std::string reason;
    if (!decodeFrame(in, previous, replay->header.keyCodes.size(), reason)) {
        if (error)
            *error = reason;
        return std::nullopt;
    }
    offset = in.offset;
    ++frameIndex;
    return previous;
}

namespace {

// The real device, passed through, with every value it gives noted for the recording.
class WatchedInputDevice final : public InputDevice {
public:
    WatchedInputDevice(std::unique_ptr<InputDevice> inner, std::shared_ptr<ReplayRecorder> recorder)
        : inner(std::move(inner))
        , recorder(std::move(recorder))
    {
    }

    bool isPressed(int code) override
    {
        const bool pressed = inner->isPressed(code);
        recorder->noteKey(code, pressed);
        return pressed;
    }

    void getWindowSize(int& width, int& height) override
    {
        inner->getWindowSize(width, height);
        recorder->noteWindowSize(width, height);
    }

    void getCursorPos(double& x, double& y) override
    {
        inner->getCursorPos(x, y);
        recorder->noteCursor(x, y);
    }

    void setCursorPos(double x, double y) override { inner->setCursorPos(x, y); }
    void hideCursor() override { inner->hideCursor(); }
    void forgetTaps() override { inner->forgetTaps(); }
    void showCursor() override { inner->showCursor(); }

    GamepadState gamepad() override
    {
        GamepadState pad = inner->gamepad();
        recorder->noteGamepad(pad);
        return pad;
    }

private:
    std::unique_ptr<InputDevice> inner;
    std::shared_ptr<ReplayRecorder> recorder;
};

} // namespace

ReplayRecorder::ReplayRecorder(const RunRules& rules, std::size_t limitBytes, std::uint64_t fingerprint,
                               const Controls& bindings)
    : encoder(rules.settings, bindings)
    , limit(limitBytes)
    , pending(startingFrame(rules.settings, bindingsOf(bindings)))
{
    header.settings = rules.settings;
    header.baseHealth = rules.baseHealth;
    header.worldFingerprint = fingerprint;
    header.bindings = bindings.codes();
}

std::unique_ptr<InputDevice> ReplayRecorder::watch(std::unique_ptr<InputDevice> device)
{
    return std::make_unique<WatchedInputDevice>(std::move(device), shared_from_this());
}

void ReplayRecorder::noteKey(int code, bool pressed)
{
    auto it = std::find(header.keyCodes.begin(), header.keyCodes.end(), code);
    if (it == header.keyCodes.end()) {
        // Keys are learnt as the game first reads them; a game reading more than the format
        // holds would replay those extra keys as never pressed.
        if (header.keyCodes.size() >= replayMaxKeys)
            return;
        it = header.keyCodes.insert(header.keyCodes.end(), code);
    }
    const std::uint64_t bit = std::uint64_t{1} << (it - header.keyCodes.begin());
    pending.keys = pressed ? (pending.keys | bit) : (pending.keys & ~bit);
}

void ReplayRecorder::noteWindowSize(int width, int height)
{
    pending.windowWidth = std::clamp(width, 0, maxWindowSide);
    pending.windowHeight = std::clamp(height, 0, maxWindowSide);
}

void ReplayRecorder::noteCursor(double x, double y)
{
    pending.cursorX = x;
    pending.cursorY = y;
    cursorRead = true;
}

void ReplayRecorder::noteGamepad(const GamepadState& pad)
{
    pending.gamepadAxes = pad.axes;
    std::uint32_t buttons = pad.connected ? gamepadConnectedBit : 0u;
    for (std::size_t i = 0; i < pad.buttons.size(); ++i)
        if (pad.buttons[i])
            buttons |= 1u << i;
    pending.gamepadButtons = buttons;
}

void ReplayRecorder::recordFrame(double frameTime, bool focused, int scroll, bool restart, const Controls& bindings,
                                 const ReplaySettings& settings)
{
    pending.bindings = bindingsOf(bindings);
    pending.frameTime = frameTime;
    pending.focused = focused;
    pending.scroll = scroll;
    pending.restart = restart;
    pending.settings = settings;
    if (!cursorRead) {
        pending.cursorX = pending.windowWidth / 2;
        pending.cursorY = pending.windowHeight / 2;
    }
    cursorRead = false;
    if (full)
        return;

    // Encoded straight onto the recording, and taken back if it does not fit.
    const std::size_t recorded = frameBytes.size();
    encoder.append(pending, frameBytes);
    // The header grows with the keys and the end mark follows the frames.
    const std::size_t fileSize = frameBytes.size() + 80 + 4 * (header.keyCodes.size() + header.bindings.size());
    if (fileSize > limit || frames >= UINT32_MAX) {
        frameBytes.resize(recorded);
        full = true;
        logMessage("Replay: the recording has reached its limit of " + std::to_string(limit / (1024 * 1024)) +
                   " MB and stops here; play goes on, but this session's runs will not be saved");
        return;
    }
    ++frames;
}

void ReplayRecorder::startRun()
{
    // The frame that restarted belongs to the new run.
    header.runStart = static_cast<std::uint32_t>(frames == 0 ? 0 : frames - 1);
}

std::string ReplayRecorder::fileContent() const
{
    ReplayHeader h = header;
    h.frameCount = static_cast<std::uint32_t>(frames);
    return writeReplay(h, frameBytes);
}

bool ReplayRecorder::save(const std::filesystem::path& path, std::string& error) const
{
    if (full) {
        error = "the recording was stopped at its size limit";
        return false;
    }
    return writeFileAtomically(path, fileContent(), error);
}

ReplayInputDevice::ReplayInputDevice(std::vector<int> keyCodes)
    : keyCodes(std::move(keyCodes))
{
}

bool ReplayInputDevice::isPressed(int code)
{
    const auto it = std::find(keyCodes.begin(), keyCodes.end(), code);
    if (it == keyCodes.end())
        return false;
    return (current.keys >> (it - keyCodes.begin())) & 1u;
}

void ReplayInputDevice::getWindowSize(int& width, int& height)
{
    width = current.windowWidth;
    height = current.windowHeight;
}

GamepadState ReplayInputDevice::gamepad()
{
    GamepadState pad;
    pad.connected = (current.gamepadButtons & gamepadConnectedBit) != 0;
    pad.axes = current.gamepadAxes;
    for (std::size_t i = 0; i < pad.buttons.size(); ++i)
        pad.buttons[i] = (current.gamepadButtons >> i) & 1u;
    return pad;
}

void ReplayInputDevice::getCursorPos(double& x, double& y)
{
    x = current.cursorX;
    y = current.cursorY;
}
