// Bricks' program: start the engine, start the game, run it until Q, stop.
#include <string_view>

#include <mx/GameManager.h>
#include <mx/LogManager.h>

#include "bricks.h"

int main(int argc, char** argv) {
    mx::LogManager& log = mx::LogManager::getInstance();
    if (argc > 1 && std::string_view(argv[1]) == "--verbose") {
        log.setVerbosity(1); // the start-up notices too: where the log, the font and the data are
    }
    setUpBricks();
    mx::GameManager& engine = mx::GameManager::getInstance();
    if (engine.startUp() != 0) {
        return 1; // the log says why
    }
    startBricks();
    engine.run();
    engine.shutDown();
    return log.getLostLineCount() == 0 ? 0 : 1; // a full disk took lines of the log
}
