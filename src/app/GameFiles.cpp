#include "app/Game.h"

#include "app/Screenshot.h"
#include "files/Files.h"
#include "files/Replay.h"
#include "files/Translation.h"
#include "files/UserFolders.h"

#include <GLFW/glfw3.h>

// What the game writes into the player's data folder: the replays and the screenshots.

bool Game::saveReplay(const std::string& name)
{
    const Run* run = playerRun();
    const ReplayRecorder* recorder = run ? run->recorder.get() : nullptr;
    if (!recorder || recorder->stopped())
        return false;
    const std::filesystem::path folder = userDataFolder();
    if (folder.empty()) {
        logMessage(_("Replay: no folder to keep replays in (neither XDG_DATA_HOME nor HOME is set)"));
        return false;
    }
    const std::filesystem::path path = folder / "replays" / name;
    std::string error;
    if (!recorder->save(path, error)) {
        logMessage(formatText(_("Replay: could not save %s: %s"), path.c_str(), error.c_str()));
        return false;
    }
    return true;
}

void Game::saveScreenshot()
{
    const std::filesystem::path folder = userDataFolder();
    if (folder.empty()) {
        logMessage(_("Screenshot: no folder to keep screenshots in (neither XDG_DATA_HOME nor HOME is set)"));
        return;
    }
    int width = 0;
    int height = 0;
    if (window)
        glfwGetFramebufferSize(window, &width, &height);
    std::string error;
    const std::filesystem::path path = writeScreenshot(folder / "screenshots", width, height, error);
    if (path.empty())
        logMessage(formatText(_("Screenshot: could not save: %s"), error.c_str()));
    else
        logMessage(formatText(_("Screenshot saved: %s"), path.c_str()));
}
