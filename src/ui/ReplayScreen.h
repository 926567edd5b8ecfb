#pragma once

#include "files/Replay.h"
#include "ui/HUD.h"
#include "ui/Screen.h"

#include <memory>

class ReplayPlayer;
class Run;

// Watching a recording: a run of its own grows from the recording's start and flies the
// recorded steps at their pace, marked "REPLAY", with a HUD of its own. The session's earlier
// runs are gone through unseen first, a little every frame, so the window keeps answering.
// Escape, Backspace or the pad's B stop it, P or Start pause it; nothing else of the viewer's
// reaches its world, and nothing is written to the records or the replays. The player's run
// under it is not touched; started with --replay, its end ends the game.
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
    Run* run() const override { return watched.get(); }
    HUD* ownHud() override { return &hud; }

    bool ended() const { return endShown; }

private:
    // Going through the session's earlier runs, unseen.
    bool catchingUpNow() const;
    void finish(Game& game);

    Replay replay;
    std::unique_ptr<ReplayPlayer> player;
    std::unique_ptr<Run> watched;
    // The recording's own levels and end, and no records of the player's.
    HUD hud;
    bool standalone;
    bool started = false;
    bool viewerPaused = false;
    bool endShown = false;
    double endHeld = 0.0;
    double owed = 0.0;
    // Seconds spent going through the earlier runs, for the progress shown after the first.
    double catchingUp = 0.0;
};
