#include "app/Game.h"

#include "app/WindowSettings.h"
#include "audio/GameSound.h"
#include "files/BestResults.h"
#include "files/Config.h"
#include "files/Files.h"
#include "files/Replay.h"
#include "files/Translation.h"
#include "files/UserFolders.h"
#include "input/Controls.h"
#include "input/GameInput.h"
#include "physics/Player.h"
#include "render/Model.h"
#include "render/Shader.h"
#include "run/GameRules.h"
#include "text/TextRenderer.h"
#include "ui/PlayScreens.h"
#include "ui/ReplayScreen.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <ctime>

const glm::vec3 lightPosition(-400.0f, -150.0f, 400.0f);

Game::Game() = default;
Game::~Game() = default;

bool Game::initialize(const std::string& title)
{
    loadConfig();

    if (!openWindow(title))
        return false;

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

    menuDevice = makeGlfwInputDevice(window);
    menuInput.setDevice(menuDevice.get());
    records = std::make_unique<BestResults>(BestResults::defaultFile());
    removeStaleTemporaryFiles();

    createWorld(std::make_shared<GameInput>(window));
    if (recordRuns)
        recordWith(makeGlfwInputDevice(window));
    warmUpDrawing();
    sound = GameSound::start();
    lastFrameTime = glfwGetTime();
    return true;
}

void Game::createWorld(std::shared_ptr<GameInput> input, bool withSegments)
{
    // A world built again replaces the one before, with every screen over it.
    screens.clear();
    screens.apply(*this);
    auto run = std::make_unique<Run>(RunRules::configured(), std::move(input), withSegments);
    run->listener = this;
    screens.push(std::make_unique<PlayScreen>(std::move(run)));
    screens.apply(*this);
}

Run* Game::playerRun() const
{
    const auto* play = dynamic_cast<const PlayScreen*>(screens.bottom());
    return play ? play->run() : nullptr;
}

bool Game::watching() const
{
    return world() != playerRun();
}

void Game::run()
{
    lastFrameTime = glfwGetTime();
    while (!glfwWindowShouldClose(window))
        frame();
    // Quitting ends the run being played; one that already ended was saved then. The player's
    // own run is the one kept, never a recording being watched.
    if (const Run* run = playerRun(); run && run->recorder && !run->runOver)
        saveReplay("last.qfr");
    screens.clear();
    screens.apply(*this);
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
    screens.apply(*this);
    if (screens.empty())
        return;
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
    if (!stepped)
        hearAndShow();
    screens.apply(*this);
    paused = screens.top() && !screens.top()->worldMoves();
}

void Game::menuFrameKeys()
{
    // The toggles the play input keeps work over the menus too.
    if (Run* run = world()) {
        GameInput& input = *run->input;
        if (menuInput.released(GLFW_KEY_F2))
            input.wireframe = !input.wireframe;
        if (menuInput.released(GLFW_KEY_F3))
            input.showFps = !input.showFps;
        if (menuInput.released(GLFW_KEY_F6))
            input.showHud = !input.showHud;
        if (!typing && menuInput.released(GLFW_KEY_M))
            input.muted = !input.muted;
    }
    windowKeys(menuInput.released(GLFW_KEY_F4), menuInput.released(GLFW_KEY_F5), menuInput.released(GLFW_KEY_F11),
               menuInput.released(GLFW_KEY_F12));
}

void Game::beginStep(double frameTime)
{
    // A frame in which no run steps hears and shows no step's events twice.
    if (Run* run = world())
        run->clearEvents();
    realFrameTime = static_cast<float>(frameTime);
    deltaTime = static_cast<float>(std::min(frameTime, static_cast<double>(maxUpdateTime)));
}

void Game::windowKeys(bool reload, bool shaders, bool fullScreen, bool screenshot)
{
    // A recording being watched plays by its own settings and window: only the shaders reload.
    const bool watchingNow = watching();
    if (reload && !watchingNow)
        reloadConfiguration();
    if (shaders)
        reloadShaders();
    if (fullScreen && !watchingNow)
        toggleFullscreen();
    if (screenshot && !watchingNow)
        screenshotRequested = true;
}

void Game::playStep(Run& run, double frameTime, bool focusedNow, bool restartNow)
{
    beginStep(frameTime);
    stepped = true;
    // The player's run follows the player's settings as they change (F4, the settings screen);
    // its recording notes each change.
    run.rules.settings = currentReplaySettings();

    if (focusedNow && pendingScroll != 0)
        run.input->onScroll(pendingScroll);
    pendingScroll = 0;
    run.readInput(frameTime, focusedNow);
    GameInput& input = *run.input;
    if (focusedNow && input.quitToggle)
        quit();

    // At the game-over menu Enter takes the chosen line; a restart key of the player's own
    // restarts at once.
    if (run.runOver && !restartNow) {
        const int key = input.controls().key(Action::Restart);
        if (key != noKey && key != GLFW_KEY_ENTER && key != GLFW_KEY_KP_ENTER && input.released(key))
            restartNow = true;
    }

    windowKeys(input.released(GLFW_KEY_F4), input.released(GLFW_KEY_F5), input.released(GLFW_KEY_F11),
               input.screenshotRequested);

    if (run.advance({frameTime, focusedNow, restartNow}).paused)
        openPauseMenu();
    hearAndShow();
}

void Game::hearAndShow()
{
    Screen* top = screens.top();
    HUD* shown = top && top->ownHud() ? top->ownHud() : &hud;
    shown->update(*this);
    if (sound)
        sound->update(deltaTime, world(), paused);
}

void Game::runEnded(Run& run, bool givenUp)
{
    recordRun(run, givenUp);
    if (run.recorder)
        saveReplay("last.qfr");
}

void Game::runRestarted(Run& run)
{
    // A difficulty chosen during the last run counts from this one.
    if (pendingDifficulty) {
        difficulty = *pendingDifficulty;
        run.rules.settings.difficulty = difficulty;
        pendingDifficulty.reset();
    }
}

void Game::recordWith(std::unique_ptr<InputDevice> device)
{
    Run& run = *playerRun();
    run.recorder = std::make_shared<ReplayRecorder>(run.rules);
    run.input = std::make_shared<GameInput>(run.recorder->watch(std::move(device)));
}

void Game::recordRun(Run& played, bool givenUp)
{
    const RunResult run{played.player->level, played.runSeconds};
    if (!records)
        return;
    // The run that set the record is kept to be watched again, before another copy of the game
    // can set a better one.
    const bool newBest = records->submit({run, std::time(nullptr), playerName(), givenUp}, [this, &played] {
        if (played.recorder)
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
    if (GameInput* input = playerInput())
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

void Game::openPauseMenu()
{
    screens.push(std::make_unique<PauseScreen>());
}

bool Game::watchReplay(const std::filesystem::path& file, std::string* refusal)
{
    std::string error;
    auto replay = loadReplay(file, error);
    if (!replay || !replayFitsThisGame(*replay, error)) {
        logMessage(formatText(_("Replay: cannot play %s: %s"), file.c_str(), error.c_str()));
        if (refusal)
            *refusal = replay ? _("CANNOT WATCH: RECORDED IN ANOTHER VERSION OF THE GAME")
                              : _("CANNOT WATCH: THE RECORDING IS DAMAGED OR UNREADABLE");
        return false;
    }
    screens.push(std::make_unique<ReplayScreen>(std::move(*replay), false));
    return true;
}

