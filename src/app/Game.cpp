#include "app/Game.h"

#include "app/Config.h"
#include "app/GameInput.h"
#include "physics/PhysicsEngine.h"
#include "render/Files.h"
#include "render/Model.h"
#include "render/Shader.h"

#include <epoxy/gl.h>
#include <GLFW/glfw3.h>
#include <glm/gtc/matrix_transform.hpp>

float baseHealth = 5.0f;
const glm::vec3 lightPosition(-400.0f, -150.0f, 400.0f);
Game* activeGame = nullptr;

namespace {

void onGlfwError(int code, const char* description)
{
    logMessage("GLFW error " + std::to_string(code) + ": " + (description ? description : ""));
}

// STAND-IN until the player's camera exists: a fixed view from behind and above the origin.
// Replace with the camera's getPosition and getViewProjection when the player lands.
const glm::vec3 standInEye(-10.0f, 0.0f, 5.0f);

glm::mat4 standInViewProjection()
{
    const float aspect = window_height > 0.0f ? window_width / window_height : 1.0f;
    const glm::mat4 projection = glm::perspective(60.0f * 0.017453292f, aspect, 0.1f, 300.0f);
    return projection * glm::lookAt(standInEye, glm::vec3(0.0f), glm::vec3(0.0f, 0.0f, 1.0f));
}

} // namespace

Game::Game() = default;
Game::~Game() = default;

bool Game::initialize(const std::string& title)
{
    loadConfig();

    glfwSetErrorCallback(onGlfwError);
    glfwInit();
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 4);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    glfwWindowHint(GLFW_REFRESH_RATE, static_cast<int>(refresh_rate));

    if (fullscreen != 0.0f) {
        // Full screen is an undecorated window the size of the primary monitor's mode.
        GLFWmonitor* monitor = glfwGetPrimaryMonitor();
        const GLFWvidmode* mode = monitor ? glfwGetVideoMode(monitor) : nullptr;
        if (mode) {
            window_width = static_cast<float>(mode->width);
            window_height = static_cast<float>(mode->height);
        }
        glfwWindowHint(GLFW_DECORATED, GLFW_FALSE);
    }

    window = glfwCreateWindow(static_cast<int>(window_width), static_cast<int>(window_height), title.c_str(),
                              nullptr, nullptr);
    if (!window) {
        logMessage("failed to create glfw window");
        glfwTerminate();
        return false;
    }

    glfwMakeContextCurrent(window);
    if (!epoxy_is_desktop_gl() || epoxy_gl_version() < 43) {
        logMessage("failed to initialize glad");
        glfwTerminate();
        window = nullptr;
        return false;
    }

    glfwSetFramebufferSizeCallback(window, onFramebufferSize);
    glfwSetWindowFocusCallback(window, onWindowFocus);
    glfwSetScrollCallback(window, onScroll);

    // Models need their programs.
    loadShaders();
    loadModels();

    postProcessing.initialize();
    shadows.initialize();
    hud.initialize();

    light.color = glm::vec3(0.8f);
    light.position = lightPosition;

    input = std::make_shared<GameInput>(window);

    physics = std::make_shared<PhysicsEngine>();
    // Player: filled in with the player work.

    return true;
}

void Game::run()
{
    // The world's segment manager is created here with the world work.

    lastFrameTime = static_cast<float>(glfwGetTime());
    while (!glfwWindowShouldClose(window))
        frame();
    glfwTerminate();
    window = nullptr;
}

void Game::frame()
{
    glfwSwapBuffers(window);
    glfwPollEvents();
    update();
    render();
}

void Game::update()
{
    const double now = glfwGetTime();
    deltaTime = static_cast<float>(now - lastFrameTime);
    lastFrameTime = static_cast<float>(now);

    if (focused) {
        input->update(this);
        if (input->quitToggle)
            glfwSetWindowShouldClose(window, GLFW_TRUE);
    } else {
        input->settle();
    }

    if (input->released(GLFW_KEY_F4)) {
        loadConfig();
        const int width = static_cast<int>(window_width);
        const int height = static_cast<int>(window_height);
        if (width > 0 && height > 0)
            glfwSetWindowSize(window, width, height);
        else
            logMessage("Config: window size " + std::to_string(width) + " x " + std::to_string(height) +
                       " is not usable; the window keeps its size");
    }

    if (input->released(GLFW_KEY_F5))
        reloadShaders();

    // Game rules: filled in with the player work.
    input->restartPressed = false;

    // Player update: filled in with the player work.
    root.update(this);
    physics->update(this);
    hud.update(this);
}

void Game::rebuildSizedTargets()
{
    // A minimised window reports 0 x 0: keep the previous projection and targets until it is back.
    if (static_cast<int>(window_width) <= 0 || static_cast<int>(window_height) <= 0)
        return;
    // Camera projection: filled in with the camera work.
    shadows.initialize();
    postProcessing.initialize();
    framebufferResized = false;
}

void Game::render()
{
    if (framebufferResized)
        rebuildSizedTargets();

    root.draw();

    // The depth pass keeps the queued instances for the main pass, which empties them.
    shadows.drawDepthPass(light.position);
    postProcessing.bindTarget(input->wireframe);
    renderShaders(standInEye, light, shadows, standInViewProjection());

    postProcessing.draw();
    if (input->showHud)
        hud.render();
}

void Game::onFramebufferSize(GLFWwindow*, int width, int height)
{
    window_width = static_cast<float>(width);
    window_height = static_cast<float>(height);
    if (activeGame)
        activeGame->framebufferResized = true;
}

void Game::onWindowFocus(GLFWwindow*, int focused)
{
    if (activeGame)
        activeGame->focused = focused != 0;
}

void Game::onScroll(GLFWwindow*, double, double yOffset)
{
    if (activeGame && activeGame->input)
        activeGame->input->onScroll(yOffset);
}
