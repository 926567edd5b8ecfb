#include "app/PlayScreens.h"

#include "app/Game.h"
#include "app/Controls.h"
#include "app/GameInput.h"
#include "app/MenuScreens.h"
#include "app/Replay.h"
#include "app/TextRenderer.h"
#include "app/Translation.h"
#include "app/UserFolders.h"

#include <GLFW/glfw3.h>

#include <system_error>

namespace {

bool fileExists(const std::filesystem::path& path)
{
    std::error_code error;
    return !path.empty() && std::filesystem::is_regular_file(path, error);
}

// Watches a recording from a menu. One this game cannot play is dimmed, and why is said under
// the menu's items, in place of doing nothing.
void watchFrom(Game& game, Menu& menu, int item, const char* name, int fallback)
{
    std::string refusal;
    if (game.watchReplay(replayFile(name), &refusal))
        return;
    menu.items[static_cast<std::size_t>(item)].enabled = false;
    menu.message = refusal;
    menu.highlight(fallback);
}

} // namespace

std::filesystem::path replayFile(const char* name)
{
    const std::filesystem::path folder = userDataFolder();
    return folder.empty() ? folder : folder / "replays" / name;
}

PlayScreen::PlayScreen(std::unique_ptr<Run> run)
    : played(std::move(run))
{
    gameOverMenu.items = {{_("RESTART")},   {_("SETTINGS")},       {_("CONTROLS")},
                          {_("BEST RUNS")}, {_("WATCH THIS RUN")}, {_("QUIT")}};
    gameOverMenu.columns = 3;
    gameOverMenu.itemSize = 0.75f;
}

PlayScreen::~PlayScreen() = default;

void PlayScreen::update(Game& game, double frameTime)
{
    bool restartNow = game.restartRequested;
    game.restartRequested = false;

    // The menu comes with the end of the run.
    const bool over = played->runOver;
    if (over && !gameOverShown) {
        gameOverShown = true;
        // Enter (and the pad's A) still restarts at once.
        gameOverMenu.highlight(Restart);
        gameOverMenu.message.clear();
        gameOverMenu.items[WatchThisRun].enabled = fileExists(replayFile("last.qfr"));
        game.menuInput.resync(game.focused, true);
    }
    gameOverShown = over;

    if (gameOverShown) {
        // Only the keys the creature does not fly with: the world goes on under this menu.
        game.menuInput.update(game.focused, true);
        const MenuChoice choice = gameOverMenu.handle(game.menuInput, false);
        if (choice.kind == MenuChoice::Kind::Chosen) {
            switch (choice.item) {
            case Restart:
                restartNow = true;
                break;
            case Settings:
            case Controls:
            case BestRuns:
                openMenuScreen(game, choice.item == Settings   ? MenuScreenKind::Settings
                                     : choice.item == Controls ? MenuScreenKind::Controls
                                                               : MenuScreenKind::BestRuns);
                break;
            case WatchThisRun:
                watchFrom(game, gameOverMenu, WatchThisRun, "last.qfr", Restart);
                break;
            case Quit:
                game.quit();
                break;
            }
        }
    }
    game.playStep(*played, frameTime, game.focused, restartNow);
}

void PlayScreen::draw(Game& game)
{
    game.renderWorld();
    game.hud.gameOverDrawnByMenu = gameOverShown;
    game.hudPass();
    if (!gameOverShown || !game.text)
        return;

    TextRenderer& text = *game.text;
    const float W = static_cast<float>(game.hud.width);
    const float halfW = static_cast<float>(game.hud.width / 2);
    const float halfH = static_cast<float>(game.hud.height / 2);
    const float bottom = game.hud.gameOverBottom();
    const float panelWidth = std::min(W, 960.0f);
    text.begin();
    // Under the texts: a dark panel, and a light band behind the black prompt, so both read
    // over a dark forest as over bright grass.
    text.drawRect(halfW - panelWidth / 2.0f, bottom, panelWidth, halfH + 110.0f - bottom, menuColors::panel,
                  menuColors::panelOpacity);
    text.drawRect(halfW - panelWidth / 2.0f, halfH - 85.0f, panelWidth, 52.0f, glm::vec3(1.0f), 0.55f);
    game.hud.renderGameOver();
    gameOverMenu.draw(text, game.hud.width, game.hud.height, bottom - 8.0f);
    text.end();
}

PauseScreen::PauseScreen()
{
    menu.title = _("PAUSED");
    menu.items = {{_("RESUME")},    {_("RESTART")},        {_("SETTINGS")},       {_("CONTROLS")},
                  {_("BEST RUNS")}, {_("WATCH LAST RUN")}, {_("WATCH BEST RUN")}, {_("QUIT")}};
}

void PauseScreen::enter(Game& game)
{
    if (GameInput* input = game.playerInput())
        input->releaseCursor();
    // A recording that is not there cannot be watched.
    menu.items[WatchLast].enabled = fileExists(replayFile("last.qfr"));
    menu.items[WatchBest].enabled = fileExists(replayFile("best.qfr"));
    menu.message.clear();
    menu.notes = pauseHelpLines(game.playerInput() ? game.playerInput()->controls() : playerControls());
    if (!menu.items[static_cast<std::size_t>(menu.highlighted)].enabled)
        menu.highlight(Resume);
}

void PauseScreen::update(Game& game, double)
{
    const MenuInput& input = game.menuInput;
    // Escape quits over the pause menu, as it does in play.
    if (input.released(GLFW_KEY_ESCAPE)) {
        game.quit();
        return;
    }
    const MenuChoice choice = menu.handle(input);
    int item = -1;
    if (choice.kind == MenuChoice::Kind::Chosen)
        item = choice.item;
    else if (choice.kind == MenuChoice::Kind::Resume || choice.kind == MenuChoice::Kind::Back)
        item = Resume;

    switch (item) {
    case Resume:
    case Restart:
        if (item == Restart)
            game.requestRestart();
        if (GameInput* input = game.playerInput())
            input->captureCursor();
        game.screens.pop();
        break;
    case Settings:
        openMenuScreen(game, MenuScreenKind::Settings);
        break;
    case Controls:
        openMenuScreen(game, MenuScreenKind::Controls);
        break;
    case BestRuns:
        openMenuScreen(game, MenuScreenKind::BestRuns);
        break;
    case WatchLast:
        watchFrom(game, menu, WatchLast, "last.qfr", Resume);
        break;
    case WatchBest:
        watchFrom(game, menu, WatchBest, "best.qfr", Resume);
        break;
    case Quit:
        game.quit();
        break;
    default:
        break;
    }
}

void PauseScreen::draw(Game& game)
{
    drawMenu(game, menu);
}
