// Coins' program: start the engine, start the game, run it until Q, stop.
#include <cstdlib>
#include <ctime>

#include <mx/GameManager.h>
#include <mx/LogManager.h>

#include "coins.h"

int main() {
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    setUpEngine();
    mx::GameManager& game = mx::GameManager::getInstance();
    if (game.startUp() != 0) {
        mx::LogManager::getInstance().writeLog("Failed to start engine");
        return 1;
    }
    startCoins();
    game.run();
    game.shutDown();
    return 0;
}
