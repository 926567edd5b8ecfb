#pragma once

#include "app/HUD.h"
#include "app/Replay.h"
#include "app/Screen.h"

#include <memory>

class GameInput;
class PhysicsEngine;
class Player;
class ReplayPlayer;
class SegmentManager;

// Watching a recording: a world of its own grows from the recording's start and flies the
// recorded steps at their pace, marked "REPLAY". The session's earlier runs are gone through
// unseen first, a little every frame, so the window keeps answering. Escape, Backspace or the
// pad's B stop it, P or Start pause it; nothing else of the viewer's reaches the world, and
// nothing is written to the records or the replays. Opened from a menu, it sets the player's
// run aside and puts it back, untouched, when it ends; started with --replay, its end ends the game.
class ReplayScreen : public Screen {
public:
    ReplayScreen(Replay replay, bool standalone);
    ~ReplayScreen() override;

    void enter(Game& game) override;
    void leave(Game& game) override;
    void update(Game& game, double frameTime) override;
    void drawWorld(Game& game) override;
    void layout(Game& game, ui::Page& page) override;
    void draw(Game& game) override;
    bool worldMoves() const override;

    bool ended() const { return endShown; }

private:
    // The player's world while the recording's is up.
    struct SavedWorld {
        std::shared_ptr<GameInput> input;
        std::shared_ptr<PhysicsEngine> physics;
        std::shared_ptr<Player> player;
        std::shared_ptr<SegmentManager> segmentManager;
        std::vector<std::shared_ptr<GameObject>> rootChildren;
        std::shared_ptr<ReplayRecorder> recorder;
        float levelTimer = 0.0f;
        double runSeconds = 0.0;
        bool runOver = false;
        bool replaying = false;
        std::uint32_t random = 0;
        ReplaySettings settings;
        float baseHealth = 0.0f;
        HUD hud;
    };
    // Going through the session's earlier runs, unseen.
    bool catchingUpNow() const;
    void setAside(Game& game);
    void putBack(Game& game);
    void finish(Game& game);

    Replay replay;
    std::unique_ptr<ReplayPlayer> player;
    bool standalone;
    bool started = false;
    bool viewerPaused = false;
    bool endShown = false;
    double endHeld = 0.0;
    double owed = 0.0;
    // Seconds spent going through the earlier runs, for the progress shown after the first.
    double catchingUp = 0.0;
    std::unique_ptr<SavedWorld> saved;
};
