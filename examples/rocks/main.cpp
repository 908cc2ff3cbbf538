// Rocks' program: start the engine, start the game, run it until Q, stop.
#include <ctime>

#include <mx/GameManager.h>
#include <mx/LogManager.h>

#include "rocks.h"

int main() {
    mx::GameManager& game = mx::GameManager::getInstance();
    game.getRandom().setSeed(static_cast<std::uint32_t>(std::time(nullptr)));
    setUpEngine();
    if (game.startUp() != 0) {
        mx::LogManager::getInstance().writeLog("Failed to start engine");
        return 1;
    }
    startRocks();
    game.run();
    game.shutDown();
    return 0;
}
