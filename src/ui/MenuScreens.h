#pragma once

#include "files/Config.h"
#include "input/Controls.h"
#include "ui/Menu.h"
#include "ui/Screen.h"
#include "ui/SettingItems.h"

#include <optional>
#include <string>
#include <vector>

// The screens the pause and game-over menus open over the frozen world.
enum class MenuScreenKind { Settings, Controls, BestRuns, Help };

void openMenuScreen(Game& game, MenuScreenKind kind);

// A menu alone over the dimmed world, in the whole window.
void layoutMenu(ui::Page& page, Menu& menu);

// A screen of the menus: Escape, Backspace and the pad's B go back one screen.
class MenuScreen : public Screen {
public:
    void update(Game& game, double frameTime) override;
    void layout(Game& game, ui::Page& page) override;
    bool overlay() const override { return true; }

    Menu menu;

protected:
    // What the screen does with the player's choice; Back has already been handled.
    virtual void act(Game& game, const MenuChoice& choice) = 0;
    // Leaving by Back, by BACK, or by Escape.
    virtual void goBack(Game& game);
    // Writes the entries to the player's config.txt; false, with the reason on the screen, when it could not.
    bool saveOrSay(const std::vector<ConfigEntry>& entries);

    // A save failed once on this screen.
    bool saveFailed = false;
};

// The best runs kept, the newest of this session highlighted.
class BestRunsScreen : public MenuScreen {
public:
    void enter(Game& game) override;

protected:
    void act(Game& game, const MenuChoice& choice) override;
};

// The player's settings, each changed with Left/Right (or the mouse on its bar, or the pad) and
// taking effect at once; written to the player's config.txt when the screen is left. The NAME
// line is typed: Enter starts, Enter keeps, Escape leaves it as it was.
class SettingsScreen : public MenuScreen {
public:
    void enter(Game& game) override;
    void update(Game& game, double frameTime) override;
    void leave(Game& game) override;

protected:
    void act(Game& game, const MenuChoice& choice) override;
    void goBack(Game& game) override;

private:
    void refresh(Game& game);
    // Gives the setting of that item its new value and makes the game follow it.
    void change(Game& game, std::size_t item, float value);
    void changeWindowSize(Game& game, WindowSize size);
    void resetToDefaults(Game& game);
    // The language one step along the list (SYSTEM first), spoken at once.
    void changeLanguage(Game& game, int direction);
    // The word setting `key` has a new value, to be saved.
    void noteChanged(const std::string& key);
    void editName(Game& game);

    std::vector<std::string> changedKeys;
    // SYSTEM ("") and the languages the game has, as the LANGUAGE line steps through them.
    std::vector<std::string> languages;
    // The name as it is being typed; none when the NAME line is not being edited.
    std::optional<std::string> nameDraft;
    bool windowSizeChanged = false;
    WindowSize chosenSize;
    std::size_t languageItem = 0;
    std::size_t nameItem = 0;
    std::size_t resetItem = 0;
    std::size_t backItem = 0;
};

// The keys of every action: choose one and press a key to bind it. Written with the settings.
class ControlsScreen : public MenuScreen {
public:
    void enter(Game& game) override;
    void update(Game& game, double frameTime) override;

protected:
    void act(Game& game, const MenuChoice& choice) override;
    void goBack(Game& game) override;

private:
    void refresh();
    // The first key down now that can be bound (or Escape), polled across the keyboard.
    std::optional<int> keyDown(Game& game) const;

    Controls before;
    Controls bindings;
    // The action waiting for its key, and the key that was pressed for it (bound when let go).
    std::optional<Action> waiting;
    int pressed = noKey;
    bool entered = false;
};
