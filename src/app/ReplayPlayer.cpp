#include "app/ReplayPlayer.h"

#include "app/Game.h"
#include "app/GameInput.h"
#include "physics/Player.h"
#include "render/Files.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

// Seconds the last frame of a replay stays on screen, so its end can be seen.
constexpr double endHoldSeconds = 2.0;
// Owed play time is capped, so a stall is not caught up in one burst.
constexpr double maxOwedSeconds = 0.25;

// A key of the viewer's, acting when let go, as the game's own keys do.
class ViewerKey {
public:
    ViewerKey(GLFWwindow* window, int code)
        : window(window)
        , code(code)
    {
    }

    bool released()
    {
        const bool down = glfwGetKey(window, code) == GLFW_PRESS;
        const bool letGo = wasDown && !down;
        wasDown = down;
        return letGo;
    }

private:
    GLFWwindow* window;
    int code;
    bool wasDown = false;
};

} // namespace

void prepareForReplay(const Replay& replay)
{
    baseHealth = replay.header.baseHealth;
    applyReplaySettings(replay.header.settings);
}

ReplayPlayer::ReplayPlayer(const Replay& replay)
    : replay(&replay)
    , cursor(replay)
    , upcoming(cursor.next())
{
}

void ReplayPlayer::attach(Game& game)
{
    prepareForReplay(*replay);
    auto recorded = std::make_unique<ReplayInputDevice>(replay->header.keyCodes);
    device = recorded.get();
    game.input = std::make_shared<GameInput>(std::move(recorded));
    game.recorder.reset();
    game.replaying = true;
}

bool ReplayPlayer::inRun() const
{
    return played >= replay->header.runStart;
}

void ReplayPlayer::stepFrame(Game& game)
{
    if (!upcoming || !device)
        return;
    const ReplayFrame frame = *upcoming;
    device->show(frame);
    applyReplaySettings(frame.settings);
    game.focused = frame.focused;
    if (frame.scroll != 0 && game.input)
        game.input->onScroll(frame.scroll);
    game.step(frame.frameTime);
    ++played;
    upcoming = cursor.next();
}

void ReplayPlayer::playToEnd(Game& game)
{
    while (!finished())
        stepFrame(game);
}

std::string finalStateLine(Game& game)
{
    if (!game.player)
        return "Replay ended: no player";
    const glm::vec3 p = game.player->getPosition();
    char line[256];
    std::snprintf(line, sizeof line,
                  "Replay ended: level %d, health %.2f, remaining time %.2f, position (%.2f, %.2f, %.2f)",
                  game.player->level, game.player->health, game.player->remainingTime, p.x, p.y, p.z);
    return line;
}

bool playReplay(Game& game, const Replay& replay)
{
    ReplayPlayer player(replay);
    player.attach(game);
    game.hud.replayLabel = "REPLAY";
    if (!player.inRun())
        logMessage("Replay: going through the session's " + std::to_string(replay.header.runStart) +
                   " frames before this run");
    while (!player.finished() && !player.inRun())
        player.stepFrame(game);

    ViewerKey escape(game.window, GLFW_KEY_ESCAPE);
    ViewerKey pause(game.window, GLFW_KEY_P);
    bool paused = false;
    bool ended = false;
    double endShownAt = 0.0;
    double clock = glfwGetTime();
    double owed = 0.0;
    while (!glfwWindowShouldClose(game.window)) {
        glfwSwapBuffers(game.window);
        glfwPollEvents();
        const double now = glfwGetTime();
        const double elapsed = now - clock;
        clock = now;
        if (escape.released())
            break;
        if (pause.released()) {
            paused = !paused;
            game.hud.replayLabel = paused ? "REPLAY - PAUSED" : "REPLAY";
        }

        if (!paused && !player.finished()) {
            // Recorded frames are stepped as their time comes due; a fast machine shows some
            // frames twice, a slow one steps several between two pictures.
            owed = std::min(owed + elapsed, maxOwedSeconds);
            while (!player.finished() && owed > 0.0) {
                owed -= player.nextFrameTime();
                player.stepFrame(game);
            }
        }
        if (player.finished() && !ended) {
            ended = true;
            endShownAt = now;
            logMessage(finalStateLine(game));
        }
        game.render();
        if (ended && now - endShownAt >= endHoldSeconds)
            break;
        if (paused || owed < 0.0)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (!ended)
        logMessage("Replay: stopped after " + std::to_string(player.framesPlayed()) + " of " +
                   std::to_string(replay.header.frameCount) + " frames");
    glfwTerminate();
    game.window = nullptr;
    return ended;
}
