#include "app/Game.h"

#include "app/BestResults.h"
#include "app/Config.h"
#include "app/Controls.h"
#include "app/GameInput.h"
#include "app/GameRules.h"
#include "app/PlayScreens.h"
#include "app/Replay.h"
#include "app/ReplayScreen.h"
#include "app/Screenshot.h"
#include "app/TextRenderer.h"
#include "app/Translation.h"
#include "app/UserFolders.h"
#include "app/Utf8.h"
#include "app/WindowSettings.h"
#include "audio/GameSound.h"
#include "physics/PhysicsEngine.h"
#include "physics/Player.h"
#include "render/Files.h"
#include "render/Model.h"
#include "render/Shader.h"
#include "scene/Camera.h"
#include "world/Random.h"
#include "world/SegmentManager.h"

#include <epoxy/gl.h>
#include <GLFW/glfw3.h>

#include <algorithm>
#include <ctime>

float baseHealth = startHealth;
const glm::vec3 lightPosition(-400.0f, -150.0f, 400.0f);
Game* activeGame = nullptr;

namespace {

void onGlfwError(int code, const char* description)
{
    logMessage("GLFW error " + std::to_string(code) + ": " + (description ? description : ""));
}

} // namespace

Game::Game() = default;
Game::~Game() = default;

bool Game::initialize(const std::string& title)
{
    loadConfig();

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
    glfwSetFramebufferSizeCallback(window, onFramebufferSize);
    glfwSetWindowFocusCallback(window, onWindowFocus);
    glfwSetScrollCallback(window, onScroll);
    glfwSetCharCallback(window, onChar);

    // Models need their programs.
    loadShaders();
    loadModels();

    renderScale.update(render_scale, -1.0);
    const RenderSettings settings = renderSettings();
    postProcessing.initialize(settings);
    shadows.initialize(settings);
    text = std::make_shared<TextRenderer>();
    text->initialize(settings.width, settings.height);
    hud.initialize(text);

    light.color = glm::vec3(0.8f);
    light.position = lightPosition;
    light.ambient = brightness;

    if (recordRuns)
        recordWith(makeGlfwInputDevice(window));
    else
        input = std::make_shared<GameInput>(window);
    menuDevice = makeGlfwInputDevice(window);
    menuInput.setDevice(menuDevice.get());
    records = std::make_unique<BestResults>(BestResults::defaultFile());
    removeStaleTemporaryFiles();

    createWorld();
    sound = GameSound::start();
    lastFrameTime = glfwGetTime();
    return true;
}

void Game::createWorld(bool withSegments)
{
    // A world built again replaces the one before: its forest leaves the scene first, then the
    // player, then the physics they all live in.
    if (segmentManager) {
        std::erase(root.children, std::static_pointer_cast<GameObject>(segmentManager));
        segmentManager.reset();
    }
    player.reset();
    physics.reset();
    levelTimer = 0.0f;
    runSeconds = 0.0;
    runOver = false;
    restarted = false;

    physics = std::make_shared<PhysicsEngine>();
    player = std::make_shared<Player>(physics);
    if (withSegments) {
        // The forest grows from the start of the world's random sequence, so a replay sees the same one.
        WorldRandom::restart();
        segmentManager = std::make_shared<SegmentManager>(physics);
        root.addChild(segmentManager);
    }
}

void Game::run()
{
    lastFrameTime = glfwGetTime();
    while (!glfwWindowShouldClose(window))
        frame();
    // Quitting ends the run being played; one that already ended was saved then. A recording
    // being watched is set aside first, so the player's own run is the one kept.
    screens.clear();
    screens.apply(*this);
    if (recorder && !runOver && !replaying)
        saveReplay("last.qfr");
    useKeyboardLayout(nullptr);
    glfwTerminate();
    window = nullptr;
}

void Game::frame()
{
    glfwSwapBuffers(window);
    glfwPollEvents();
    frameTimer.begin();
    update();
    render();
}

void Game::update()
{
    const double now = glfwGetTime();
    const double elapsed = now - lastFrameTime;
    lastFrameTime = now;
    step(elapsed);
}

void Game::quit()
{
    if (window)
        glfwSetWindowShouldClose(window, GLFW_TRUE);
    quitting = true;
}

void Game::step(double frameTime)
{
    // The game starts straight into play.
    screens.apply(*this);
    if (screens.empty()) {
        screens.push(std::make_unique<PlayScreen>());
        screens.apply(*this);
    }
    beginStep(frameTime);
    stepped = false;

    Screen* top = screens.top();
    paused = !top->worldMoves();
    if (!top->readsPlayInput()) {
        // Menus and a recording being watched read the keys straight, and the wheel is theirs.
        // Coming from play, the keys start from how they are now: nothing let go during play acts here.
        if (playedLastFrame)
            menuInput.resync(focused);
        menuInput.update(focused);
        pendingScroll = 0;
        menuFrameKeys();
    }
    playedLastFrame = top->readsPlayInput();
    top->update(*this, frameTime);
    typedText.clear();
    if (!stepped) {
        hud.update(this);
        if (sound)
            sound->update(*this);
    }
    screens.apply(*this);
    paused = screens.top() && !screens.top()->worldMoves();
}

void Game::menuFrameKeys()
{
    // The toggles the play input keeps work over the menus too.
    if (input) {
        if (menuInput.released(GLFW_KEY_F2))
            input->wireframe = !input->wireframe;
        if (menuInput.released(GLFW_KEY_F3))
            input->showFps = !input->showFps;
        if (menuInput.released(GLFW_KEY_F6))
            input->showHud = !input->showHud;
        if (!typing && menuInput.released(GLFW_KEY_M))
            input->muted = !input->muted;
    }
    windowKeys(menuInput.released(GLFW_KEY_F4), menuInput.released(GLFW_KEY_F5), menuInput.released(GLFW_KEY_F11),
               menuInput.released(GLFW_KEY_F12));
}

void Game::beginStep(double frameTime)
{
    soundEvents.clear();
    ruleEvents.clear();
    realFrameTime = static_cast<float>(frameTime);
    deltaTime = static_cast<float>(std::min(frameTime, static_cast<double>(maxUpdateTime)));
}

void Game::windowKeys(bool reload, bool shaders, bool fullScreen, bool screenshot)
{
    // A recording being watched plays by its own settings and window: only the shaders reload.
    if (reload && !replaying)
        reloadConfiguration();
    if (shaders)
        reloadShaders();
    if (fullScreen && !replaying)
        toggleFullscreen();
    if (screenshot && !replaying)
        screenshotRequested = true;
}

void Game::playStep(double frameTime, bool focusedNow, bool restartNow)
{
    beginStep(frameTime);
    stepped = true;

    if (focusedNow) {
        if (pendingScroll != 0 && !replaying)
            input->onScroll(pendingScroll);
        input->update(this);
        if (input->quitToggle && !replaying)
            quit();
    } else {
        input->settle();
    }
    pendingScroll = 0;

    // At the game-over menu Enter takes the chosen line; a restart key of the player's own
    // restarts at once. A recording carries the restart itself, not the key.
    if (!replaying && runOver && !restartNow) {
        const int key = input->controls().key(Action::Restart);
        if (key != noKey && key != GLFW_KEY_ENTER && key != GLFW_KEY_KP_ENTER && input->released(key))
            restartNow = true;
    }

    windowKeys(input->released(GLFW_KEY_F4), input->released(GLFW_KEY_F5), input->released(GLFW_KEY_F11),
               input->screenshotRequested);

    // Every step of play is recorded, the one that pauses too: a playback goes through the
    // same steps to the same end. The menus' frames are not part of the run.
    if (recorder && !replaying) {
        const int scroll = input->released(SCROLL_UP) ? 1 : input->released(SCROLL_DOWN) ? -1 : 0;
        recorder->recordFrame(frameTime, focusedNow, scroll, restartNow, input->controls());
    }

    // Pause: P, the pad's Start, the window losing the focus or the pad going away, only
    // while there is a game to lose. The step that pauses moves nothing.
    const bool playing = player && !isGameOver(player->health, player->remainingTime);
    if (playing && !restartNow && (input->pauseRequested || !focusedNow || input->gamepadLost)) {
        if (!replaying)
            openPauseMenu();
    } else {
        advanceWorld(restartNow);
    }
    hud.update(this);
    if (sound)
        sound->update(*this);
}

void Game::advanceWorld(bool restartNow)
{
    if (player && restartNow && !runOver) {
        // A run given up from the pause menu ends here, as if it had been lost.
        runOver = true;
        recordRun(true);
        if (recorder && !replaying)
            saveReplay("last.qfr");
    }
    applyGameRules(*this, restartNow);
    if (restarted) {
        runOver = false;
        // A difficulty chosen during the last run counts from this one.
        if (pendingDifficulty && !replaying) {
            difficulty = *pendingDifficulty;
            pendingDifficulty.reset();
        }
        if (input)
            input->captureCursor();
        if (recorder && !replaying)
            recorder->startRun();
    }
    const bool playingThisFrame = player && !isGameOver(player->health, player->remainingTime);

    if (player)
        player->update(this);
    root.update(this);
    if (physics)
        physics->update(this);

    if (player) {
        if (playingThisFrame)
            runSeconds += deltaTime;
        // The step the game ends: the run is weighed against the best and its replay kept.
        noteRunEnd(ruleEvents, !runOver, player->health, player->remainingTime);
        if (!runOver && isGameOver(player->health, player->remainingTime)) {
            runOver = true;
            // The cursor is freed for the game-over menu; the world goes on under it.
            if (input)
                input->releaseCursor();
            recordRun(false);
            if (recorder && !replaying)
                saveReplay("last.qfr");
        }
    }
}

void Game::recordWith(std::unique_ptr<InputDevice> device)
{
    recorder = std::make_shared<ReplayRecorder>(baseHealth);
    input = std::make_shared<GameInput>(recorder->watch(std::move(device)));
}

bool Game::saveReplay(const std::string& name)
{
    if (!recorder || recorder->stopped())
        return false;
    const std::filesystem::path folder = userDataFolder();
    if (folder.empty()) {
        logMessage(_("Replay: no folder to keep replays in (neither XDG_DATA_HOME nor HOME is set)"));
        return false;
    }
    const std::filesystem::path path = folder / "replays" / name;
    std::string error;
    if (!recorder->save(path, error)) {
        logMessage(formatText(_("Replay: could not save %s: %s"), path.c_str(), error.c_str()));
        return false;
    }
    return true;
}

void Game::saveScreenshot()
{
    const std::filesystem::path folder = userDataFolder();
    if (folder.empty()) {
        logMessage(_("Screenshot: no folder to keep screenshots in (neither XDG_DATA_HOME nor HOME is set)"));
        return;
    }
    int width = 0;
    int height = 0;
    if (window)
        glfwGetFramebufferSize(window, &width, &height);
    std::string error;
    const std::filesystem::path path = writeScreenshot(folder / "screenshots", width, height, error);
    if (path.empty())
        logMessage(formatText(_("Screenshot: could not save: %s"), error.c_str()));
    else
        logMessage(formatText(_("Screenshot saved: %s"), path.c_str()));
}

void Game::recordRun(bool givenUp)
{
    const RunResult run{player->level, runSeconds};
    runSeconds = 0.0;
    // A recording being watched is somebody's past run, not a result of the player's.
    if (!records || replaying)
        return;
    // The run that set the record is kept to be watched again, before another copy of the game
    // can set a better one.
    const bool newBest = records->submit({run, std::time(nullptr), playerName(), givenUp}, [this] {
        if (recorder)
            saveReplay("best.qfr");
    });
    if (records->best())
        hud.showBest(*records->best(), newBest);
    const std::optional<std::size_t> index = records->newest();
    hud.showRun(run, index ? std::optional<std::size_t>(*index + 1) : std::nullopt);
}

void Game::reloadConfiguration()
{
    const float previousWidth = window_width;
    const float previousHeight = window_height;
    loadConfig();
    // The keys the file binds act at once, as the controls screen shows them.
    if (input)
        input->setControls(playerControls());
    light.ambient = brightness;
    const int width = windowPixels(window_width);
    const int height = windowPixels(window_height);
    if (width <= 0 || height <= 0) {
        logMessage("Config: window size " + std::to_string(width) + " x " + std::to_string(height) +
                   " is not usable; the window keeps its size");
        window_width = previousWidth;
        window_height = previousHeight;
    } else if (window) {
        windowedWidth = width;
        windowedHeight = height;
        // A full-screen window stays so; the new size waits for F11.
        if (!fullscreenWindow)
            glfwSetWindowSize(window, width, height);
        followFramebuffer();
    }
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

void Game::rebuildSizedTargets()
{
    // A minimised window reports 0 x 0: keep the previous projection and targets until it is back.
    if (windowPixels(window_width) <= 0 || windowPixels(window_height) <= 0)
        return;
    if (player)
        player->camera->rebuildProjection();
    const RenderSettings settings = renderSettings();
    shadows.initialize(settings);
    postProcessing.initialize(settings);
    hud.resize(settings.width, settings.height);
    framebufferResized = false;
}

RenderSettings configuredRenderSettings()
{
    RenderSettings settings;
    settings.width = windowPixels(window_width);
    settings.height = windowPixels(window_height);
    settings.shadowFactor = shadowmap_resolution_factor;
    settings.fallbackShadowFactor = findSetting("shadowmap_resolution_factor")->defaultValue;
    settings.cameraNear = cameraNear;
    settings.cameraFar = cameraFar;
    settings.lightPosition = lightPosition;
    settings.worldLength = worldLength;
    return settings;
}

RenderSettings Game::renderSettings() const
{
    RenderSettings settings = configuredRenderSettings();
    settings.renderScale = renderScale.scale();
    if (player) {
        settings.cameraNear = player->camera->nearPlane;
        settings.cameraFar = player->camera->farPlane;
    }
    return settings;
}

void Game::render()
{
    if (framebufferResized)
        rebuildSizedTargets();
    if (screens.empty())
        renderWorld();
    else
        screens.draw(*this);
    if (screenshotRequested) {
        screenshotRequested = false;
        saveScreenshot();
    }
    followRenderScale();
}

void Game::renderWorld()
{
    queueInstances();
    shadowPass();
    mainPass();
    postPass();
}

void Game::openPauseMenu()
{
    screens.push(std::make_unique<PauseScreen>());
}

void Game::watchReplay(const std::filesystem::path& file)
{
    std::string error;
    auto replay = loadReplay(file, error);
    if (replay && !replayFitsThisGame(*replay, error))
        replay.reset();
    if (!replay) {
        logMessage(formatText(_("Replay: cannot play %s: %s"), file.c_str(), error.c_str()));
        return;
    }
    screens.push(std::make_unique<ReplayScreen>(std::move(*replay), false));
}

void Game::queueInstances()
{
    if (player)
        player->draw();
    root.draw();
}

void Game::shadowPass()
{
    // The depth pass keeps the queued instances for the main pass, which empties them. Only the
    // part of the map the camera's view can read is drawn.
    if (player)
        shadows.drawDepthPass(light.position, player->camera->getViewProjection());
    else
        shadows.drawDepthPass(light.position);
}

void Game::mainPass()
{
    postProcessing.bindTarget(input->wireframe);
    const glm::mat4 viewProjection = player->camera->getViewProjection();
    const glm::vec3 eye = player->camera->getPosition();
    renderShaders(eye, light, shadows, viewProjection);
}

void Game::postPass()
{
    postProcessing.draw();
}

void Game::hudPass()
{
    if (input->showHud)
        hud.render();
}

void Game::followRenderScale()
{
    // A frozen world stays still under a menu: its frames (a menu's work, not play's) move no
    // automatic scale, though a setting chosen on the settings screen applies at once. Only
    // the scene's targets change size; a minimised window rebuilds them once it is back.
    const double work = frameTimer.end();
    if (renderScale.update(render_scale, paused ? -1.0 : work) && !framebufferResized)
        postProcessing.initialize(renderSettings());
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
    // Kept for the next step of play, which alone hands it to the creature's input: a wheel
    // turned over a menu or a recording being watched steers nothing.
    if (activeGame && yOffset != 0.0)
        activeGame->pendingScroll = yOffset > 0.0 ? 1 : -1;
}

void Game::onChar(GLFWwindow*, unsigned int codepoint)
{
    if (activeGame && codepoint <= 0x10FFFF)
        activeGame->typedText += encodeUtf8(std::u32string(1, static_cast<char32_t>(codepoint)));
}
