#include "ui/PlayScreens.h"

#include "app/Game.h"
#include "files/Replay.h"
#include "files/Translation.h"
#include "files/UserFolders.h"
#include "input/Controls.h"
#include "input/GameInput.h"
#include "text/TextRenderer.h"
#include "ui/MenuScreens.h"

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
    gameOverMenu.items.resize(Quit + 1);
    // Two rows of four and three: every item keeps a neighbour the arrows reach.
    gameOverMenu.columns = 4;
    gameOverMenu.itemSize = 0.75f;
    labelGameOverMenu();
}

void PlayScreen::labelGameOverMenu()
{
    const char* labels[] = {N_("RESTART"),   N_("SETTINGS"),       N_("CONTROLS"),
                            N_("BEST RUNS"), N_("WATCH THIS RUN"), N_("HELP"),     N_("QUIT")};
    for (std::size_t i = 0; i < gameOverMenu.items.size(); ++i)
        gameOverMenu.items[i].label = translate(labels[i]);
    // Enter is the prompt's: it restarts whatever is highlighted, so the rest are opened another way.
    gameOverMenu.message = _("ARROW KEYS CHOOSE, TAB OPENS");
}

void PlayScreen::enter(Game&)
{
    labelGameOverMenu();
}

void PlayScreen::act(Game& game, int item, bool& restartNow)
{
    switch (item) {
    case Restart:
        restartNow = true;
        break;
    case Settings:
    case Controls:
    case BestRuns:
    case Help:
        openMenuScreen(game, item == Settings   ? MenuScreenKind::Settings
                             : item == Controls ? MenuScreenKind::Controls
                             : item == BestRuns ? MenuScreenKind::BestRuns
                                                : MenuScreenKind::Help);
        break;
    case WatchThisRun:
        watchFrom(game, gameOverMenu, WatchThisRun, "last.qfr", Restart);
        break;
    case Quit:
        game.quit();
        break;
    default:
        break;
    }
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
        gameOverMenu.highlight(Restart);
        // The hint again, in place of a refusal the last game over may have left.
        labelGameOverMenu();
        gameOverMenu.items[WatchThisRun].enabled = fileExists(replayFile("last.qfr"));
        game.menuInput.resync(game.focused, true);
    }
    gameOverShown = over;

    if (gameOverShown) {
        // Only the keys the creature does not fly with: the world goes on under this menu.
        MenuInput& input = game.menuInput;
        input.update(game.focused, true);
        const MenuChoice choice = gameOverMenu.handle(input, false);
        if (input.released(GLFW_KEY_ENTER) || input.released(GLFW_KEY_KP_ENTER) ||
            input.padReleased(GLFW_GAMEPAD_BUTTON_A))
            restartNow = true;
        else if (choice.kind == MenuChoice::Kind::Chosen)
            act(game, choice.item, restartNow);
        else if (input.released(GLFW_KEY_TAB) || input.padReleased(GLFW_GAMEPAD_BUTTON_X))
            act(game, gameOverMenu.highlighted, restartNow);
    }
    game.playStep(*played, frameTime, game.focused, restartNow);
}

void PlayScreen::drawWorld(Game& game)
{
    game.renderWorld();
}

void PlayScreen::layout(Game& game, ui::Page& page)
{
    if (!gameOverShown) {
        if (played->input->showHud)
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
    if (gameOverShown || played->input->showHud)
        game.hud.drawn();
}

PauseScreen::PauseScreen()
{
    menu.items.resize(Quit + 1);
    menu.itemSize = 1.25f;
}

void PauseScreen::label()
{
    const char* labels[] = {N_("RESUME"),    N_("RESTART"),        N_("SETTINGS"),       N_("CONTROLS"),
                            N_("BEST RUNS"), N_("WATCH LAST RUN"), N_("WATCH BEST RUN"), N_("HELP"),
                            N_("QUIT")};
    menu.title = _("PAUSED");
    for (std::size_t i = 0; i < menu.items.size(); ++i)
        menu.items[i].label = translate(labels[i]);
}

void PauseScreen::enter(Game& game)
{
    if (GameInput* input = game.playerInput())
        input->releaseCursor();
    // In the language now spoken: the settings opened from here may have changed it.
    label();
    // A recording that is not there cannot be watched.
    menu.items[WatchLast].enabled = fileExists(replayFile("last.qfr"));
    menu.items[WatchBest].enabled = fileExists(replayFile("best.qfr"));
    menu.message.clear();
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
