#pragma once

#include "app/Menu.h"
#include "app/Screen.h"

#include <filesystem>

// Playing: the creature's input, the rules and the world, one step a frame, with the HUD over
// it. When a run ends, the game-over texts stay as they always were and a menu appears under
// them while the world goes on.
class PlayScreen : public Screen {
public:
    PlayScreen();
    void update(Game& game, double frameTime) override;
    void drawWorld(Game& game) override;
    void layout(Game& game, ui::Page& page) override;
    void draw(Game& game) override;
    bool worldMoves() const override { return true; }
    bool readsPlayInput() const override { return true; }

    Menu gameOverMenu;
    // The game-over menu is up (the run being played has ended).
    bool gameOverShown = false;

    enum Item { Restart, Settings, Controls, BestRuns, WatchThisRun, Help, Quit };
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
};

// Where the game keeps the last run and the best one, or empty without a data folder.
std::filesystem::path replayFile(const char* name);
