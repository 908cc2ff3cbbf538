// Coins' program: start the engine, start the game, run it until Q, stop.
#include <cstdint>
#include <ctime>

#include <mx/GameManager.h>
#include <mx/LogManager.h>

#include "coins.h"

int main() {
    setUpEngine();
    mx::GameManager& game = mx::GameManager::getInstance();
    game.getRandom().setSeed(static_cast<std::uint32_t>(std::time(nullptr))); // another room each time
    if (game.startUp() != 0) {
        mx::LogManager::getInstance().writeLog("Failed to start engine");
        return 1;
    }
    startCoins();
    game.run();
    game.shutDown();
    return 0;
}
