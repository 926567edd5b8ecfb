#pragma once

#include "ui/Layout.h"

#include <cstddef>
#include <memory>
#include <vector>

class Game;
class HUD;
class Run;

// One screen of the game: play, a replay being watched, or a menu. The game keeps them on a
// stack: the top one takes the frame's input and decides what happens; a menu over play draws
// the frozen world under it and steps nothing.
class Screen {
public:
    virtual ~Screen() = default;

    // The screen has become the top (pushed, or uncovered by a pop).
    virtual void enter(Game&) {}
    // The screen stops being the top (covered by a push, or popped).
    virtual void leave(Game&) {}
    // One frame of the top screen, `frameTime` seconds after the last.
    virtual void update(Game& game, double frameTime) = 0;
    // The picture under the screen's texts: the world (play, a replay), or nothing of its own.
    virtual void drawWorld(Game&) {}
    // The screen's texts and panels for the window the page is for, laid out without drawing.
    virtual void layout(Game&, ui::Page&) {}
    // The world, then the page of the layout over it.
    virtual void draw(Game& game);
    // True for a screen drawn over the world of the one below it (a menu over the frozen world):
    // only that world shows, dimmed, never the texts of the screens between.
    virtual bool overlay() const { return false; }
    // True while the world moves under this screen (play, a replay that is not paused).
    virtual bool worldMoves() const { return false; }
    // True for play, which reads the keys through the creature's own (recorded) input; every
    // other screen gets the menus' reading of them, sampled by the game before its update.
    virtual bool readsPlayInput() const { return false; }
    // The run this screen shows and steps (play's, or a recording's), or none (a menu).
    virtual Run* run() const { return nullptr; }
    // The HUD drawn over this screen's run when it is not the game's own (a recording's).
    virtual HUD* ownHud() { return nullptr; }
};

// The screens, bottom first. Pushes and pops asked for during a frame take effect between
// frames (apply), so the screen being updated is never destroyed under its own feet.
class ScreenStack {
public:
    void push(std::unique_ptr<Screen> screen);
    void pop();
    // Every screen goes (the game is quitting or starting over).
    void clear();
    // The changes asked for since the last call, in order; enter/leave are called as the top changes.
    void apply(Game& game);

    bool empty() const { return screens.empty(); }
    Screen* top() const { return screens.empty() ? nullptr : screens.back().get(); }
    Screen* bottom() const { return screens.empty() ? nullptr : screens.front().get(); }
    // The run on show: that of the topmost screen with one (a menu shows the run under it).
    Run* shownRun() const;
    // Draws the top screen over the world of the screen it shows through to.
    void draw(Game& game);
    // The texts and panels the top screen shows (its layout).
    void layout(Game& game, ui::Page& page) const;

private:
    struct Change {
        std::unique_ptr<Screen> pushed; // null: a pop
        bool clearAll = false;
    };
    std::vector<std::unique_ptr<Screen>> screens;
    std::vector<Change> pending;
};
