#pragma once

#include "audio/SoundEvents.h"
#include "render/HeldPicture.h"
#include "render/Light.h"
#include "render/PostProcessing.h"
#include "render/RenderScale.h"
#include "render/RenderSettings.h"
#include "render/Shadows.h"
#include "run/GameRules.h"
#include "run/Run.h"
#include "ui/HUD.h"
#include "ui/MenuInput.h"
#include "ui/Screen.h"

#include <glm/glm.hpp>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

struct GLFWwindow;
class BestResults;
class GameInput;
class GameSound;
class InputDevice;
class ReplayRecorder;
class TextRenderer;
class PhysicsEngine;
class Player;
class SegmentManager;
struct StepContext;

// Where the one light of the scene hangs, high above the start of the world.
extern const glm::vec3 lightPosition;
// What the render passes need of the settings (window size, shadow factor), the light and the
// world, with the camera's default planes.
RenderSettings configuredRenderSettings();

// The application: start-up, the window, the frame loop, the screens (play and a recording
// being watched each own their Run), the renderer, the sound, the settings, the records and
// the player's files. It hears the player's run end and restart, for the records and replays.
class Game : public RunListener {
public:
    Game();
    ~Game();

    Game(const Game&) = delete;
    Game& operator=(const Game&) = delete;

    // Everything up to the first frame, the world included; false when the window or OpenGL
    // could not be had.
    bool initialize(const std::string& title);
    // Play begins anew on a new run flown with `input`: the physics engine, the player and,
    // unless `withSegments` is false (tests that build their own surroundings), the ring of
    // segments under its root, played by the player's settings as they are now.
    void createWorld(std::shared_ptr<GameInput> input, bool withSegments = true);
    // The run on show (the player's, or a recording's being watched), and the player's own.
    Run* world() const { return screens.shownRun(); }
    Run* playerRun() const;
    GameInput* playerInput() const { return playerRun() ? playerRun()->input.get() : nullptr; }
    // A recording is being watched: it plays by its own settings and window.
    bool watching() const;
    // Loops until the window is asked to close, then ends GLFW.
    void run();
    // One pass of the loop: show the last frame, take events, update, render.
    void frame();
    // Measures the frame time from the clock, then steps.
    void update();
    // One frame of the top screen, `frameTime` seconds after the last; the screens asked for
    // in it take their places at its end. Starts play when no screen is up yet.
    void step(double frameTime);
    // One step of play, `frameTime` seconds after the last: input read through `input`, then
    // the rules and the world, which never advance more than maxUpdateTime. `focusedNow` and
    // `restartNow` (a restart was chosen for this step) come from the window and the menus, or
    // from a recording. Nothing of the world moves in a step that pauses.
    void playStep(Run& run, double frameTime, bool focusedNow, bool restartNow);
    // One frame of drawing: the steps below, in this order.
    void render();

    // The pause menu goes over play (P, Start, focus lost, pad unplugged).
    void openPauseMenu();
    // The next step of play begins a new run (the pause menu's RESTART).
    void requestRestart() { restartRequested = true; }
    // Asks the window to close; the loop ends after this frame.
    void quit();
    // Watches a recording over the current screens; back to them at its end or on Escape. A
    // recording this game cannot play is refused, with why in the player's words in `refusal`.
    bool watchReplay(const std::filesystem::path& file, std::string* refusal = nullptr);

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
    // The settings screen's window size: the window takes it now, or when it leaves full screen.
    void setWindowSize(int width, int height);
    // After a framebuffer resize: camera projection, shadow map and off-screen target at the new size.
    void rebuildSizedTargets();
    // What the render passes need of the settings, the window and the world, as they are now.
    RenderSettings renderSettings() const;
    // The world's passes, from the shadow map to the outlined image in the window.
    void renderWorld();
    // A world that stands still (under a menu, a recording paused or at its end): the picture
    // held for it while nothing it depends on has changed, else `draw`, whose picture is kept.
    void drawStillWorld(const std::function<void()>& draw);
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

    Light light;
    // Seconds of this frame, as the world would take them, and the real seconds since the last
    // frame (which differ only after a hitch longer than maxUpdateTime).
    float deltaTime = 0.0f;
    float realFrameTime = 0.0f;
    GLFWwindow* window = nullptr;
    PostProcessing postProcessing;
    Shadows shadows;
    HeldPicture heldWorld;
    RenderScaleController renderScale;
    FrameTimer frameTimer;
    HUD hud;
    // The clock at the last frame; double, so hours of uptime keep millisecond steps.
    double lastFrameTime = 0.0;
    bool focused = true;
    bool framebufferResized = false;
    // Null without an audio device: the game then plays silently.
    std::unique_ptr<GameSound> sound;

    // A menu stands over the world this frame, and nothing of it moves.
    bool paused = false;
    // The screens, play at the bottom.
    ScreenStack screens;
    // The menus' own reading of the keyboard, mouse and pad, never recorded.
    MenuInput menuInput;
    // The text drawing that the HUD and the menus share.
    std::shared_ptr<TextRenderer> text;
    // The wheel turned since the last step of play: +1 up, -1 down (the last turn wins).
    int pendingScroll = 0;
    // What was typed since the last frame, UTF-8, for a screen that takes a name; dropped after each frame.
    std::string typedText;
    // A screen is taking typed text: M is a letter then, not the mute key.
    bool typing = false;
    // The difficulty chosen on the settings screen, for the next run.
    std::optional<float> pendingDifficulty;
    // The pause menu chose RESTART: the next step of play starts a new run.
    bool restartRequested = false;
    // A menu chose QUIT (the window, when there is one, is asked to close too).
    bool quitting = false;
    // The best game so far; none in tests that keep the player's folders out of play.
    std::unique_ptr<BestResults> records;
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
    // F12 was let go: the frame being drawn is saved once it is complete.
    bool screenshotRequested = false;

    // GLFW callbacks; they reach the game through the window's user pointer.
    static void onFramebufferSize(GLFWwindow* window, int width, int height);
    static void onWindowFocus(GLFWwindow* window, int focused);
    static void onScroll(GLFWwindow* window, double xOffset, double yOffset);
    static void onChar(GLFWwindow* window, unsigned int codepoint);

private:
    // GLFW, the window at the configured size (or the monitor's), its OpenGL context and callbacks.
    bool openWindow(const std::string& title);
    // The world drawn twice before the first frame: the driver's first-use work done, and the
    // automatic render scale started from a timed picture.
    void warmUpDrawing();
    // What the picture of the world on show depends on; none without a world.
    std::optional<HeldPicture::Key> heldWorldKey() const;
    // The window has (or was asked for) a new size: every target follows the framebuffer it has.
    void followFramebuffer();
    // A game of the player's has just ended (or was given up with RESTART): its result against
    // the best so far.
    void recordRun(Run& run, bool givenUp);
    // The player's run has ended (its result and replay are kept) or begins anew.
    void runEnded(Run& run, bool givenUp) override;
    void runRestarted(Run& run) override;
    // The hands and the sound follow the run on show.
    void hearAndShow();
    // The keys that work over every screen but play, which reads its own: F2, F3, F4, F5, F6, F11, F12, M.
    void menuFrameKeys();
    // What every frame begins with, of play or of a menu: the events emptied, the frame's times.
    void beginStep(double frameTime);
    // F4, F5, F11 and the screenshot, however they were read (by play's input or the menus').
    void windowKeys(bool reload, bool shaders, bool fullScreen, bool screenshot);
    // The device the menus read (in the game, the window's; tests give their own).
    std::unique_ptr<InputDevice> menuDevice;
    // A step of play ran in this frame (it updated the HUD and the sound itself).
    bool stepped = false;
    // The last frame was one of play, which does not sample the menus' keys.
    bool playedLastFrame = true;
};

