#include "app/Game.h"
#include "app/GameRules.h"
#include "render/Files.h"

int main()
{
    // Without its assets the game can show nothing; the message says where it looked.
    if (!chooseAssetRoot(runningExecutable()))
        return 1;
    Game game;
    activeGame = &game;
    baseHealth = startHealth;
    const bool started = game.initialize("Quillfen");
    if (started)
        game.run();
    activeGame = nullptr;
    // A start-up that failed is reported to whoever launched us, not hidden behind success.
    return started ? 0 : 1;
}
