#include "support/TestSupport.h"

#include "files/Config.h"

#include <epoxy/gl.h>
#include <GLFW/glfw3.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// What the tests' games write for their player (a record at a game over) goes to a scratch
// folder of this test program, never to the tester's own home.
struct ScratchDataHome {
    ScratchDataHome()
        : folder(fs::temp_directory_path() / ("quillfen-test-data-" + std::to_string(::getpid())))
    {
        setenv("XDG_DATA_HOME", folder.c_str(), 1);
    }
    ~ScratchDataHome()
    {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    fs::path folder;
} scratchDataHome;

} // namespace

namespace testkit {

AssetSandbox::AssetSandbox()
{
    static std::atomic<int> counter{0};
    root = fs::temp_directory_path() /
           ("quillfen-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    fs::remove_all(root);
    fs::create_directories(root / "assets");
    fs::create_directories(root / "run" / "bin");
    previousDirectory = fs::current_path();
    fs::current_path(root / "run" / "bin");
}

AssetSandbox::~AssetSandbox()
{
    std::error_code ignored;
    fs::current_path(previousDirectory, ignored);
    fs::remove_all(root, ignored);
}

fs::path AssetSandbox::write(const std::string& relative, const std::string& content) const
{
    const fs::path path = assets() / relative;
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << content;
    return path;
}

void AssetSandbox::copyRealAssets() const
{
    fs::copy(repositoryAssets(), assets(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

SandboxGame::SandboxGame()
{
    resetSettings();
    sandbox.copyRealAssets();
}

SandboxGame::~SandboxGame()
{
    if (game.window) {
        glfwSetWindowShouldClose(game.window, GLFW_TRUE);
        game.run();
    }
    resetSettings();
}

bool SandboxGame::start(std::string& output)
{
    ::testing::internal::CaptureStdout();
    const bool ok = initializeGame(game);
    output = ::testing::internal::GetCapturedStdout();
    game.lastFrameTime = glfwGetTime();
    return ok;
}

fs::path repositoryAssets()
{
    return fs::path(QUILLFEN_SOURCE_DIR) / "assets";
}

void ScopedEnv::set(const char* name, const char* value)
{
    const char* old = std::getenv(name);
    saved.push_back({name, old ? std::optional<std::string>(old) : std::nullopt});
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

ScopedEnv::~ScopedEnv()
{
    for (auto it = saved.rbegin(); it != saved.rend(); ++it) {
        if (it->second)
            setenv(it->first.c_str(), it->second->c_str(), 1);
        else
            unsetenv(it->first.c_str());
    }
}

bool FakeInputDevice::isPressed(int code)
{
    const auto it = pressed.find(code);
    return it != pressed.end() && it->second;
}

void FakeInputDevice::getWindowSize(int& w, int& h)
{
    w = width;
    h = height;
}

void FakeInputDevice::getCursorPos(double& x, double& y)
{
    x = cursorX;
    y = cursorY;
}

void FakeInputDevice::setCursorPos(double x, double y)
{
    cursorX = x;
    cursorY = y;
}

bool initializeGame(Game& game, const std::string& title)
{
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (attempt > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        if (game.initialize(title))
            return true;
    }
    return false;
}

GlContext::GlContext(int width, int height, bool visible)
{
    // A busy Xvfb now and then refuses a connection right after the previous one closed: try again.
    bool initialized = false;
    for (int attempt = 0; attempt < 5 && !initialized; ++attempt) {
        if (attempt > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        initialized = glfwInit() == GLFW_TRUE;
    }
    if (!initialized) {
        const char* description = nullptr;
        glfwGetError(&description);
        throw std::runtime_error(std::string("glfwInit failed: is a display (Xvfb) available? ") +
                                 (description ? description : ""));
    }
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 4);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    glfwWindowHint(GLFW_VISIBLE, visible ? GLFW_TRUE : GLFW_FALSE);
    window = glfwCreateWindow(width, height, "quillfen test", nullptr, nullptr);
    if (!window) {
        glfwTerminate();
        throw std::runtime_error("could not create an OpenGL 4.3 core window");
    }
    glfwMakeContextCurrent(window);
    glfwDefaultWindowHints();
}

GlContext::~GlContext()
{
    glfwMakeContextCurrent(nullptr);
    glfwDestroyWindow(window);
    glfwTerminate();
}

} // namespace testkit
