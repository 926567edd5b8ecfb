#include "app/MenuScreens.h"

#include "app/BestResults.h"
#include "app/Game.h"

#include <cstdio>
#include <memory>

std::vector<std::string> pauseHelpLines()
{
    return {
        "MOUSE / RIGHT STICK: TURN     WHEEL / LB RB: CAMERA",
        "A D / LEFT STICK: SIDEWAYS     SPACE SHIFT / LEFT STICK: UP, DOWN",
        "W / RT / A: FASTER     S / LT / B: STOP     ESC: QUIT",
    };
}

void MenuScreen::update(Game& game, double)
{
    const MenuChoice choice = menu.handle(game.menuInput);
    if (choice.kind == MenuChoice::Kind::Back) {
        goBack(game);
        return;
    }
    if (choice.kind != MenuChoice::Kind::None)
        act(game, choice);
}

void MenuScreen::goBack(Game& game)
{
    game.screens.pop();
}

void MenuScreen::draw(Game& game)
{
    if (!game.text)
        return;
    game.text->begin();
    menu.draw(*game.text, game.hud.width, game.hud.height);
    game.text->end();
}

void BestRunsScreen::enter(Game& game)
{
    menu.title = "BEST RUNS";
    menu.twoColumns = true;
    menu.items.clear();
    if (game.records && game.records->best()) {
        const RunResult& best = *game.records->best();
        char value[64];
        std::snprintf(value, sizeof value, "%.1f S", best.seconds);
        menu.items.push_back({"1.  LEVEL " + std::to_string(best.level), value, false});
    } else {
        menu.notes = {"NO RUN HAS ENDED YET"};
    }
    menu.items.push_back({"BACK"});
    menu.highlight(static_cast<int>(menu.items.size()) - 1);
}

void BestRunsScreen::act(Game& game, const MenuChoice& choice)
{
    if (choice.kind == MenuChoice::Kind::Chosen && choice.item == static_cast<int>(menu.items.size()) - 1)
        goBack(game);
}

namespace {

// Until the settings and controls screens are in, an empty screen with its way back.
class PlaceholderScreen : public MenuScreen {
public:
    explicit PlaceholderScreen(const char* title)
    {
        menu.title = title;
        menu.items = {{"BACK"}};
    }

protected:
    void act(Game& game, const MenuChoice& choice) override
    {
        if (choice.kind == MenuChoice::Kind::Chosen)
            goBack(game);
    }
};

} // namespace

void openMenuScreen(Game& game, MenuScreenKind kind)
{
    switch (kind) {
    case MenuScreenKind::Settings:
        game.screens.push(std::make_unique<PlaceholderScreen>("SETTINGS"));
        break;
    case MenuScreenKind::Controls:
        game.screens.push(std::make_unique<PlaceholderScreen>("CONTROLS"));
        break;
    case MenuScreenKind::BestRuns:
        game.screens.push(std::make_unique<BestRunsScreen>());
        break;
    }
}
