#pragma once

#include "app/Game.h"
#include "input/InputDevice.h"

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct GLFWwindow;

namespace testkit {

// A fresh folder laid out like the repository: <root>/assets and a working directory
// two levels below the root, so that the game's "../../assets/" lands in <root>/assets.
// The process works from that directory until the sandbox goes away.
class AssetSandbox {
public:
    AssetSandbox();
    ~AssetSandbox();
    AssetSandbox(const AssetSandbox&) = delete;
    AssetSandbox& operator=(const AssetSandbox&) = delete;

    std::filesystem::path assets() const { return root / "assets"; }
    // Writes a file below assets/, creating folders as needed; returns its full path.
    std::filesystem::path write(const std::string& relative, const std::string& content) const;
    // Copies the repository's real assets into the sandbox.
    void copyRealAssets() const;

    std::filesystem::path root;

private:
    std::filesystem::path previousDirectory;
};

// Sets environment variables for one test and puts them back afterwards.
class ScopedEnv {
public:
    ScopedEnv() = default;
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    ~ScopedEnv();
    // A null value unsets the variable.
    void set(const char* name, const char* value);

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
};

// Scripted keyboard, mouse and gamepad for GameInput.
class FakeInputDevice : public InputDevice {
public:
    bool isPressed(int code) override;
    void getWindowSize(int& width, int& height) override;
    void getCursorPos(double& x, double& y) override;
    void setCursorPos(double x, double y) override;
    void hideCursor() override { cursorHidden = true; }
    void showCursor() override { cursorHidden = false; }
    GamepadState gamepad() override { return pad; }

    std::map<int, bool> pressed;
    int width = 1000;
    int height = 750;
    double cursorX = 500.0;
    double cursorY = 375.0;
    bool cursorHidden = false;
    GamepadState pad;
};

// A hidden window with an OpenGL 4.3 core context, current for the lifetime of the object.
class GlContext {
public:
    GlContext(int width = 320, int height = 240, bool visible = false);
    ~GlContext();
    GlContext(const GlContext&) = delete;
    GlContext& operator=(const GlContext&) = delete;

    GLFWwindow* window = nullptr;
};

// The real game, started on a sandbox copy of the repository's assets that a test may
// change first; closed and forgotten when the object goes.
class SandboxGame {
public:
    SandboxGame();
    ~SandboxGame();
    SandboxGame(const SandboxGame&) = delete;
    SandboxGame& operator=(const SandboxGame&) = delete;

    // Game::initialize, with what it printed; the clock starts from here.
    bool start(std::string& output);

    AssetSandbox sandbox;
    Game game;
};

// Game::initialize on a display that works: a busy Xvfb now and then refuses a connection
// right after the previous one closed, so a start that failed is tried a few more times.
bool initializeGame(Game& game, const std::string& title = "Quillfen test");

// The repository's assets folder, found from the sources whatever the build folder.
std::filesystem::path repositoryAssets();

} // namespace testkit
