#include "app/Game.h"

#include "app/WindowSettings.h"
#include "files/Config.h"
#include "files/Files.h"
#include "files/Translation.h"
#include "input/Controls.h"
#include "text/Utf8.h"

#include <epoxy/gl.h>
#include <GLFW/glfw3.h>

// The game's window: opening it, its size, full screen, and what GLFW tells of it.

namespace {

void onGlfwError(int code, const char* description)
{
    logMessage("GLFW error " + std::to_string(code) + ": " + (description ? description : ""));
}

} // namespace

bool Game::openWindow(const std::string& title)
{
    glfwSetErrorCallback(onGlfwError);
    // Without a display GLFW cannot start, and so there is no window to be had.
    if (glfwInit() != GLFW_TRUE) {
        logMessage(_("failed to create glfw window"));
        return false;
    }
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 4);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    glfwWindowHint(GLFW_REFRESH_RATE, refreshRateHint(refresh_rate));

    windowedWidth = windowPixels(window_width);
    windowedHeight = windowPixels(window_height);
    if (fullscreen != 0.0f) {
        // Full screen is an undecorated window the size of the primary monitor's mode.
        GLFWmonitor* monitor = glfwGetPrimaryMonitor();
        const GLFWvidmode* mode = monitor ? glfwGetVideoMode(monitor) : nullptr;
        if (mode) {
            window_width = static_cast<float>(mode->width);
            window_height = static_cast<float>(mode->height);
        }
        glfwWindowHint(GLFW_DECORATED, GLFW_FALSE);
        fullscreenWindow = true;
    }

    window = glfwCreateWindow(windowPixels(window_width), windowPixels(window_height), title.c_str(),
                              nullptr, nullptr);
    if (!window) {
        logMessage(_("failed to create glfw window"));
        glfwTerminate();
        return false;
    }

    glfwMakeContextCurrent(window);
    applyVerticalSync();
    if (!epoxy_is_desktop_gl() || epoxy_gl_version() < 43) {
        logMessage(_("failed to initialize glad"));
        glfwTerminate();
        window = nullptr;
        return false;
    }

    // The controls screen names the keys as the player's keyboard labels them.
    useKeyboardLayout([](int key) { return glfwGetKeyName(key, 0); });
    // The callbacks find the game through the window.
    glfwSetWindowUserPointer(window, this);
    glfwSetFramebufferSizeCallback(window, onFramebufferSize);
    glfwSetWindowFocusCallback(window, onWindowFocus);
    glfwSetScrollCallback(window, onScroll);
    glfwSetCharCallback(window, onChar);
    return true;
}

void Game::setWindowSize(int width, int height)
{
    windowedWidth = width;
    windowedHeight = height;
    if (window && !fullscreenWindow) {
        glfwSetWindowSize(window, width, height);
        followFramebuffer();
    }
}

void Game::followFramebuffer()
{
    // A window manager may grant another size, or none: the targets follow the
    // framebuffer the window really has (the resize callback follows any later grant).
    int granted[2] = {0, 0};
    glfwGetFramebufferSize(window, &granted[0], &granted[1]);
    window_width = static_cast<float>(granted[0]);
    window_height = static_cast<float>(granted[1]);
    framebufferResized = true;
}

void Game::toggleFullscreen()
{
    if (!window)
        return;
    if (fullscreenWindow) {
        glfwSetWindowAttrib(window, GLFW_DECORATED, GLFW_TRUE);
        glfwSetWindowSize(window, windowedWidth, windowedHeight);
        if (windowedPlaceKnown)
            glfwSetWindowPos(window, windowedX, windowedY);
        fullscreenWindow = false;
    } else {
        GLFWmonitor* monitor = glfwGetPrimaryMonitor();
        const GLFWvidmode* mode = monitor ? glfwGetVideoMode(monitor) : nullptr;
        if (!mode) {
            logMessage("Full screen: no monitor to fill; the window keeps its size");
            return;
        }
        glfwGetWindowPos(window, &windowedX, &windowedY);
        windowedPlaceKnown = true;
        int monitorX = 0;
        int monitorY = 0;
        glfwGetMonitorPos(monitor, &monitorX, &monitorY);
        glfwSetWindowAttrib(window, GLFW_DECORATED, GLFW_FALSE);
        glfwSetWindowPos(window, monitorX, monitorY);
        glfwSetWindowSize(window, mode->width, mode->height);
        fullscreenWindow = true;
    }
    followFramebuffer();
}

namespace {

Game* gameOf(GLFWwindow* window)
{
    return window ? static_cast<Game*>(glfwGetWindowUserPointer(window)) : nullptr;
}

} // namespace

void Game::onFramebufferSize(GLFWwindow* window, int width, int height)
{
    window_width = static_cast<float>(width);
    window_height = static_cast<float>(height);
    if (Game* game = gameOf(window))
        game->framebufferResized = true;
}

void Game::onWindowFocus(GLFWwindow* window, int focused)
{
    if (Game* game = gameOf(window))
        game->focused = focused != 0;
}

void Game::onScroll(GLFWwindow* window, double, double yOffset)
{
    // Kept for the next step of play, which alone hands it to the creature's input: a wheel
    // turned over a menu or a recording being watched steers nothing.
    Game* game = gameOf(window);
    if (game && yOffset != 0.0)
        game->pendingScroll = yOffset > 0.0 ? 1 : -1;
}

void Game::onChar(GLFWwindow* window, unsigned int codepoint)
{
    Game* game = gameOf(window);
    if (game && codepoint <= 0x10FFFF)
        game->typedText += encodeUtf8(std::u32string(1, static_cast<char32_t>(codepoint)));
}
