#pragma once

#include "ui/Menu.h"
#include "ui/Screen.h"

#include <filesystem>
#include <memory>

// Playing: the creature's input, the rules and the world, one step a frame, with the HUD over
// it. When a run ends, the game-over texts stay as they always were and a menu appears under
// them while the world goes on.
class PlayScreen : public Screen {
public:
    explicit PlayScreen(std::unique_ptr<Run> run);
    ~PlayScreen() override;
    // Back from a screen the game-over menu opened: its texts in the language now spoken.
    void enter(Game& game) override;
    void update(Game& game, double frameTime) override;
    void drawWorld(Game& game) override;
    void layout(Game& game, ui::Page& page) override;
    void draw(Game& game) override;
    bool worldMoves() const override { return true; }
    bool readsPlayInput() const override { return true; }
    Run* run() const override { return played.get(); }

    // The player's run.
    std::unique_ptr<Run> played;
    Menu gameOverMenu;
    // The game-over menu is up (the run being played has ended).
    bool gameOverShown = false;

    enum Item { Restart, Settings, Controls, BestRuns, WatchThisRun, Help, Quit };

private:
    // The game-over menu's texts, read again after a change of language.
    void labelGameOverMenu();
    // The game-over menu's item `item` was chosen.
    void act(Game& game, int item, bool& restartNow);
};

// Over the frozen frame: "PAUSED", the way back into the run, the other screens (the help
// among them) and the recordings, in large items.
class PauseScreen : public Screen {
public:
    PauseScreen();
    void enter(Game& game) override;
    void update(Game& game, double frameTime) override;
    void layout(Game& game, ui::Page& page) override;
    bool overlay() const override { return true; }

    Menu menu;

    enum Item { Resume, Restart, Settings, Controls, BestRuns, WatchLast, WatchBest, Help, Quit };

private:
    void label();
};

// Where the game keeps the last run and the best one, or empty without a data folder.
std::filesystem::path replayFile(const char* name);
