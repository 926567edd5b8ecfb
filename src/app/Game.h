#pragma once

#include "app/HUD.h"
#include "audio/SoundEvents.h"
#include "render/Light.h"
#include "render/PostProcessing.h"
#include "render/Shadows.h"
#include "scene/GameObject.h"

#include <glm/glm.hpp>

#include <memory>
#include <string>

struct GLFWwindow;
class GameInput;
class GameSound;
class PhysicsEngine;
class Player;
class SegmentManager;

// Health at the start of a game and the base of the health each new level gives.
extern float baseHealth;
// Where the one light of the scene hangs, high above the start of the world.
extern const glm::vec3 lightPosition;

// The spine of the program: start-up, the frame loop, and the context handed to every
// update (input, frame time, player, physics, restart flag).
class Game {
public:
    Game();
    ~Game();

    Game(const Game&) = delete;
    Game& operator=(const Game&) = delete;

    // Everything up to the first frame; false when the window or OpenGL could not be had.
    bool initialize(const std::string& title);
    // Creates the world and loops until the window is asked to close, then ends GLFW.
    void run();
    // One pass of the loop: show the last frame, take events, update, render.
    void frame();
    // Measures the frame time from the clock, then advances.
    void update();
    // One frame of input, rules and object updates with the current deltaTime.
    void advance();
    // One frame of drawing: the steps below, in this order.
    void render();

    // After a framebuffer resize: camera projection, shadow map and off-screen target at the new size.
    void rebuildSizedTargets();
    // The player and the scene queue their instances into their models.
    void queueInstances();
    void shadowPass();
    // The lit scene into the off-screen target; empties the instance lists.
    void mainPass();
    // The outlined image to the window.
    void postPass();
    void hudPass();

    std::shared_ptr<GameInput> input;
    std::shared_ptr<PhysicsEngine> physics;
    std::shared_ptr<Player> player;
    std::shared_ptr<SegmentManager> segmentManager;
    Light light;
    float deltaTime = 0.0f;
    bool restarted = false;
    GLFWwindow* window = nullptr;
    GameObject root;
    PostProcessing postProcessing;
    Shadows shadows;
    HUD hud;
    float lastFrameTime = 0.0f;
    bool focused = true;
    bool framebufferResized = false;
    float levelTimer = 0.0f;
    // What the world did this frame for the ear; emptied as each frame begins.
    SoundEvents soundEvents;
    // Null without an audio device: the game then plays silently.
    std::unique_ptr<GameSound> sound;

    // GLFW callbacks; they reach the game through activeGame.
    static void onFramebufferSize(GLFWwindow* window, int width, int height);
    static void onWindowFocus(GLFWwindow* window, int focused);
    static void onScroll(GLFWwindow* window, double xOffset, double yOffset);
};

// The one game of the process, for the GLFW callbacks.
extern Game* activeGame;
