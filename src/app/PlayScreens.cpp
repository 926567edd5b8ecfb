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

} // namespace

std::filesystem::path replayFile(const char* name)
{
    const std::filesystem::path folder = userDataFolder();
    return folder.empty() ? folder : folder / "replays" / name;
}

PlayScreen::PlayScreen()
{
    gameOverMenu.items = {{_("RESTART")},   {_("SETTINGS")},       {_("CONTROLS")}, {_("BEST RUNS")},
                          {_("WATCH THIS RUN")}, {_("HELP")}, {_("QUIT")}};
    gameOverMenu.columns = 3;
    gameOverMenu.itemSize = 0.75f;
}

void PlayScreen::update(Game& game, double frameTime)
{
    bool restartNow = game.restartRequested;
    game.restartRequested = false;

    // The menu comes with the end of a run the player played; a recording plays its own restarts.
    const bool over = game.runOver && !game.replaying;
    if (over && !gameOverShown) {
        gameOverShown = true;
        // Enter (and the pad's A) still restarts at once.
        gameOverMenu.highlight(Restart);
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
                game.watchReplay(replayFile("last.qfr"));
                break;
            case Help:
                openMenuScreen(game, MenuScreenKind::Help);
                break;
            case Quit:
                game.quit();
                break;
            }
        }
    }
    game.playStep(frameTime, game.focused, restartNow);
}

void PlayScreen::drawWorld(Game& game)
{
    game.renderWorld();
}

void PlayScreen::layout(Game& game, ui::Page& page)
{
    if (!gameOverShown) {
        if (!game.input || game.input->showHud)
            game.hud.layout(page);
        return;
    }
    // The game-over texts with the HUD, and the menu in the room they leave under them.
    ui::Box room;
    game.hud.layout(page, gameOverMenu.smallestHeight(page, page.room().width()), &room);
    gameOverMenu.layout(page, room);
}

void PlayScreen::draw(Game& game)
{
    Screen::draw(game);
    if (gameOverShown || !game.input || game.input->showHud)
        game.hud.drawn();
}

PauseScreen::PauseScreen()
{
    menu.title = _("PAUSED");
    menu.items = {{_("RESUME")},         {_("RESTART")},        {_("SETTINGS")}, {_("CONTROLS")},   {_("BEST RUNS")},
                  {_("WATCH LAST RUN")}, {_("WATCH BEST RUN")}, {_("HELP")},     {_("QUIT")}};
    menu.itemSize = 1.25f;
}

void PauseScreen::enter(Game& game)
{
    if (game.input)
        game.input->releaseCursor();
    // A recording that is not there cannot be watched.
    menu.items[WatchLast].enabled = fileExists(replayFile("last.qfr"));
    menu.items[WatchBest].enabled = fileExists(replayFile("best.qfr"));
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
        if (game.input)
            game.input->captureCursor();
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
        game.watchReplay(replayFile("last.qfr"));
        break;
    case WatchBest:
        game.watchReplay(replayFile("best.qfr"));
        break;
    case Help:
        openMenuScreen(game, MenuScreenKind::Help);
        break;
    case Quit:
        game.quit();
        break;
    default:
        break;
    }
}

void PauseScreen::layout(Game&, ui::Page& page)
{
    layoutMenu(page, menu);
}
