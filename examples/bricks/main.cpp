// Bricks' program: start the engine, start the game, run it until Q, stop.
#include <mx/GameManager.h>

#include "bricks.h"

int main() {
    setUpBricks();
    mx::GameManager& engine = mx::GameManager::getInstance();
    if (engine.startUp() != 0) {
        return 1; // the log says why
    }
    startBricks();
    engine.run();
    engine.shutDown();
    return 0;
}
