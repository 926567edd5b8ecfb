#pragma once

#include "app/Menu.h"
#include "app/Screen.h"

#include <string>
#include <vector>

// The screens the pause and game-over menus open over the frozen world.
enum class MenuScreenKind { Settings, Controls, BestRuns };

void openMenuScreen(Game& game, MenuScreenKind kind);

// The reminder of the controls under the pause menu's items.
std::vector<std::string> pauseHelpLines();

// A screen of the menus: Escape, Backspace and the pad's B go back one screen.
class MenuScreen : public Screen {
public:
    void update(Game& game, double frameTime) override;
    void draw(Game& game) override;
    bool overlay() const override { return true; }

    Menu menu;

protected:
    // What the screen does with the player's choice; Back has already been handled.
    virtual void act(Game& game, const MenuChoice& choice) = 0;
    // Leaving by Back, by BACK, or by Escape.
    virtual void goBack(Game& game);
};

// The best runs kept, the newest of this session highlighted.
class BestRunsScreen : public MenuScreen {
public:
    void enter(Game& game) override;

protected:
    void act(Game& game, const MenuChoice& choice) override;
};
