#pragma once

#include "app/Replay.h"

#include <optional>
#include <string>

class Game;

// The recorded rules and base health; must come before the world is created, which reads them.
void prepareForReplay(const Replay& replay);

// Feeds a recording to a game in place of the player's hands, one recorded frame per step.
class ReplayPlayer {
public:
    // `replay` must outlive the player.
    explicit ReplayPlayer(const Replay& replay);

    // Gives the game the recorded input and rules. Its world must be fresh (see prepareForReplay).
    void attach(Game& game);
    bool finished() const { return !upcoming; }
    // False while the frames of the session's earlier runs are still to come.
    bool inRun() const;
    // Seconds of the next recorded frame.
    double nextFrameTime() const { return upcoming ? upcoming->frameTime : 0.0; }
    // The game's step of play with the next recorded frame and its input.
    void stepFrame(Game& game);
    // Seconds of the next frame for pacing a playback: never more than the world takes in one
    // step, and never nothing, so no recorded time can freeze the picture or spin the loop.
    double nextPaceTime() const;
    // Every frame left, as fast as the machine goes.
    void playToEnd(Game& game);
    std::size_t framesPlayed() const { return played; }

private:
    const Replay* replay;
    ReplayCursor cursor;
    std::optional<ReplayFrame> upcoming;
    ReplayInputDevice* device = nullptr;
    std::size_t played = 0;
};

// How the game stands, in one line: level, health, remaining time and the player's position.
std::string finalStateLine(Game& game);

