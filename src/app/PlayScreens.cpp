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

// The HUD's lowest lines (the level, the sound notice) end this high: the game-over menu stays above them.
constexpr float hudFootClearance = 60.0f;

} // namespace

std::filesystem::path replayFile(const char* name)
{
    const std::filesystem::path folder = userDataFolder();
    return folder.empty() ? folder : folder / "replays" / name;
}

PlayScreen::PlayScreen()
{
    gameOverMenu.items.resize(Quit + 1);
    gameOverMenu.columns = 3;
    gameOverMenu.itemSize = 0.75f;
    labelGameOverMenu();
}

void PlayScreen::labelGameOverMenu()
{
    const char* labels[] = {N_("RESTART"),   N_("SETTINGS"),       N_("CONTROLS"),
                            N_("BEST RUNS"), N_("WATCH THIS RUN"), N_("QUIT")};
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
        openMenuScreen(game, item == Settings   ? MenuScreenKind::Settings
                             : item == Controls ? MenuScreenKind::Controls
                                                : MenuScreenKind::BestRuns);
        break;
    case WatchThisRun:
        game.watchReplay(replayFile("last.qfr"));
        break;
    case Quit:
        game.quit();
        break;
    default:
        break;
    }
}

void PlayScreen::update(Game& game, double frameTime)
{
    bool restartNow = game.restartRequested;
    game.restartRequested = false;

    // The menu comes with the end of a run the player played; a recording plays its own restarts.
    const bool over = game.runOver && !game.replaying;
    if (over && !gameOverShown) {
        gameOverShown = true;
        gameOverMenu.highlight(Restart);
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
    game.playStep(frameTime, game.focused, restartNow);
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
    gameOverMenu.draw(text, game.hud.width, game.hud.height, bottom - 8.0f, hudFootClearance);
    text.end();
}

PauseScreen::PauseScreen()
{
    menu.items.resize(Quit + 1);
}

void PauseScreen::label()
{
    const char* labels[] = {N_("RESUME"),    N_("RESTART"),        N_("SETTINGS"),       N_("CONTROLS"),
                            N_("BEST RUNS"), N_("WATCH LAST RUN"), N_("WATCH BEST RUN"), N_("QUIT")};
    menu.title = _("PAUSED");
    for (std::size_t i = 0; i < menu.items.size(); ++i)
        menu.items[i].label = translate(labels[i]);
}

void PauseScreen::enter(Game& game)
{
    if (game.input)
        game.input->releaseCursor();
    // In the language now spoken: the settings opened from here may have changed it.
    label();
    // A recording that is not there cannot be watched.
    menu.items[WatchLast].enabled = fileExists(replayFile("last.qfr"));
    menu.items[WatchBest].enabled = fileExists(replayFile("best.qfr"));
    menu.notes = pauseHelpLines(game.input ? game.input->controls() : playerControls());
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
