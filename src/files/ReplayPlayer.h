#pragma once

#include "files/Replay.h"

#include <memory>
#include <optional>
#include <string>

class Run;

// Flies a recording: its own run, made by the recorded rules, base health and keys, and fed the
// recorded frames in place of anybody's hands, one recorded frame per step.
class ReplayPlayer {
public:
    // `replay` must outlive the player.
    explicit ReplayPlayer(const Replay& replay);

    // The run the recording is played in: a new world, its rules and keys those recorded.
    std::unique_ptr<Run> makeRun();
    bool finished() const { return !upcoming; }
    // False while the frames of the session's earlier runs are still to come.
    bool inRun() const;
    // Seconds of the next recorded frame.
    double nextFrameTime() const { return upcoming ? upcoming->frameTime : 0.0; }
    // One step of the run made by makeRun, with the next recorded frame and its input.
    void stepFrame(Run& run);
    // Seconds of the next frame for pacing a playback: never more than the world takes in one
    // step, and never nothing, so no recorded time can freeze the picture or spin the loop.
    double nextPaceTime() const;
    // Every frame left, as fast as the machine goes.
    void playToEnd(Run& run);
    std::size_t framesPlayed() const { return played; }

private:
    const Replay* replay;
    ReplayCursor cursor;
    std::optional<ReplayFrame> upcoming;
    ReplayInputDevice* device = nullptr;
    std::size_t played = 0;
};

// How a run stands, in one line: level, health, remaining time and the player's position.
std::string finalStateLine(const Run& run);
