#include "app/Game.h"
#include "files/Files.h"
#include "files/Replay.h"
#include "files/ReplayPlayer.h"
#include "files/Translation.h"
#include "files/UserFolders.h"
#include "run/GameRules.h"
#include "ui/ReplayScreen.h"

#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr const char* usage = N_("usage: quillfen [--replay FILE]");
constexpr const char* options = N_("  --replay FILE  watch a recorded run (a .qfr file) instead of playing\n"
                                "  --help         show this help and exit\n"
                                "  --version      show the version and exit");

} // namespace

int main(int argc, char** argv)
{
    // The player's language, before anything is said.
    startTranslations(catalogueFolder(runningExecutable()));
    std::optional<std::string> replayFile;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h" || arg == "--version") {
            logMessage(arg == "--version" ? std::string("quillfen " QUILLFEN_VERSION) : std::string(_(usage)) + "\n" + _(options));
            return 0;
        }
        if (arg == "--replay" && i + 1 < argc && !replayFile) {
            replayFile = argv[++i];
        } else if (arg.starts_with("--replay=") && arg.size() > 9 && !replayFile) {
            replayFile = std::string(arg.substr(9));
        } else {
            logMessage(_(usage));
            return 2;
        }
    }

    std::optional<Replay> replay;
    if (replayFile) {
        std::string error;
        replay = loadReplay(*replayFile, error);
        if (!replay) {
            logMessage(formatText(_("Replay: cannot play %s: %s"), replayFile->c_str(), error.c_str()));
            return 1;
        }
    }

    // Without its assets the game can show nothing; the message says where it looked.
    if (!chooseAssetRoot(runningExecutable()))
        return 1;
    Game game;
    // The player's runs are recorded; a recording watched from the command line is not.
    game.recordRuns = !replay;
    // The world's fingerprint is worked out once per build, not at every start and every watch.
    keepFingerprintIn(userCacheFolder());
    const bool started = game.initialize("Quillfen");
    int status = started ? 0 : 1;
    if (started && replay) {
        // Only now are the models there that the world is made of.
        std::string error;
        if (replayFitsThisGame(*replay, error)) {
            game.screens.push(std::make_unique<ReplayScreen>(std::move(*replay), true));
        } else {
            logMessage(formatText(_("Replay: cannot play %s: %s"), replayFile->c_str(), error.c_str()));
            game.quit();
            status = 1;
        }
    }
    if (started)
        game.run();
    // A start-up that failed is reported to whoever launched us, not hidden behind success.
    return status;
}
