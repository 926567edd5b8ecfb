#pragma once

#include "app/HUD.h"
#include "audio/SoundEvents.h"
#include "render/Light.h"
#include "render/PostProcessing.h"
#include "render/RenderScale.h"
#include "render/RenderSettings.h"
#include "render/Shadows.h"
#include "scene/GameObject.h"

#include <glm/glm.hpp>

#include <memory>
#include <string>

struct GLFWwindow;
class BestResults;
class GameInput;
class GameSound;
class InputDevice;
class ReplayRecorder;
class PhysicsEngine;
class Player;
class SegmentManager;

// A suspended laptop, a stopped process or a dragged window can stall a frame for seconds:
// the world takes at most this much of it, so a hitch neither eats the level's clock nor
// throws the creature far.
constexpr float maxUpdateTime = 0.25f;

// Health at the start of a game and the base of the health each new level gives.
extern float baseHealth;
// Where the one light of the scene hangs, high above the start of the world.
extern const glm::vec3 lightPosition;
// What the render passes need of the settings (window size, shadow factor), the light and the
// world, with the camera's default planes.
RenderSettings configuredRenderSettings();

// The spine of the program: start-up, the frame loop, and the context handed to every
// update (input, frame time, player, physics, restart flag).
class Game {
public:
    Game();
    ~Game();

    Game(const Game&) = delete;
    Game& operator=(const Game&) = delete;

    // Everything up to the first frame, the world included; false when the window or OpenGL
    // could not be had.
    bool initialize(const std::string& title);
    // The physics engine, the player and, unless `withSegments` is false (tests that build
    // their own surroundings), the ring of segments under the scene root.
    void createWorld(bool withSegments = true);
    // Loops until the window is asked to close, then ends GLFW.
    void run();
    // One pass of the loop: show the last frame, take events, update, render.
    void frame();
    // Measures the frame time from the clock, then steps.
    void update();
    // One frame of input, rules and object updates, `frameTime` seconds after the last one.
    // The world never advances more than maxUpdateTime in one frame.
    void step(double frameTime);
    // One frame of drawing: the steps below, in this order.
    void render();

    // From now on every frame the game's update consumes is recorded, read through `device`.
    void recordWith(std::unique_ptr<InputDevice> device);
    // Writes the session's recording, up to this frame, as `name` in the replay folder.
    // A keeper of records calls saveReplay("best.qfr") when a run has set a new one.
    bool saveReplay(const std::string& name);
    // Saves the current frame, HUD included, as a new PNG in the screenshot folder.
    void saveScreenshot();

    // F4: reads the configuration again and asks the window for the configured size.
    void reloadConfiguration();
    // F11: a borderless window the size of the primary monitor, and back to the configured size.
    void toggleFullscreen();
    // Nothing of the world moves while paused; the cursor is free. Resuming captures the
    // cursor again at the window centre, so the view does not jump.
    void pause();
    void resume();
    // After a framebuffer resize: camera projection, shadow map and off-screen target at the new size.
    void rebuildSizedTargets();
    // What the render passes need of the settings, the window and the world, as they are now.
    RenderSettings renderSettings() const;
    // The player and the scene queue their instances into their models.
    void queueInstances();
    void shadowPass();
    // The lit scene into the off-screen target; empties the instance lists.
    void mainPass();
    // The outlined image to the window.
    void postPass();
    void hudPass();
    // The frame's work, measured since frame() began it, sets the render scale (or the setting
    // does); the scene's targets follow a change.
    void followRenderScale();

    std::shared_ptr<GameInput> input;
    std::shared_ptr<PhysicsEngine> physics;
    std::shared_ptr<Player> player;
    std::shared_ptr<SegmentManager> segmentManager;
    Light light;
    // Seconds the world advances in this frame, and the real seconds since the last frame
    // (which differ only after a hitch longer than maxUpdateTime).
    float deltaTime = 0.0f;
    float realFrameTime = 0.0f;
    bool restarted = false;
    GLFWwindow* window = nullptr;
    GameObject root;
    PostProcessing postProcessing;
    Shadows shadows;
    RenderScaleController renderScale;
    FrameTimer frameTimer;
    HUD hud;
    // The clock at the last frame; double, so hours of uptime keep millisecond steps.
    double lastFrameTime = 0.0;
    bool focused = true;
    bool framebufferResized = false;
    float levelTimer = 0.0f;
    // What the world did this frame for the ear; emptied as each frame begins.
    SoundEvents soundEvents;
    // Null without an audio device: the game then plays silently.
    std::unique_ptr<GameSound> sound;

    bool paused = false;
    // The best game so far; none in tests that keep the player's folders out of play.
    std::unique_ptr<BestResults> records;
    // Seconds of play since the start or the last restart.
    double runSeconds = 0.0;
    // The window fills the monitor (F11, or `fullscreen` at start); the configured window
    // size and place to go back to.
    bool fullscreenWindow = false;
    int windowedWidth = 0;
    int windowedHeight = 0;
    int windowedX = 0;
    int windowedY = 0;
    bool windowedPlaceKnown = false;
    // Set before initialize: record every run to the replay folder (the game does; tests don't).
    bool recordRuns = false;
    // Records the session; null unless recording.
    std::shared_ptr<ReplayRecorder> recorder;
    // The run has ended (game over): its result and replay are kept; the next restart begins another.
    bool runOver = false;
    // Playing a recording: the rules come from the file, so F4 reads no configuration, and
    // neither a recorded Escape nor F12 acts.
    bool replaying = false;
    // F12 was let go: the frame being drawn is saved once it is complete.
    bool screenshotRequested = false;

    // GLFW callbacks; they reach the game through activeGame.
    static void onFramebufferSize(GLFWwindow* window, int width, int height);
    static void onWindowFocus(GLFWwindow* window, int focused);
    static void onScroll(GLFWwindow* window, double xOffset, double yOffset);

private:
    // The window has (or was asked for) a new size: every target follows the framebuffer it has.
    void followFramebuffer();
    // A game has just ended: its result against the best so far.
    void recordRun();
};

// The one game of the process, for the GLFW callbacks.
extern Game* activeGame;
