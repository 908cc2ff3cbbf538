#include "Program.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include <mx/DisplayManager.h>
#include <mx/GameManager.h>
#include <mx/InputManager.h>
#include <mx/LogManager.h>

#include "GameSetup.h"
#include "WorldHash.h"

int runProgram(const ProgramOptions& options) {
    mx::DisplayManager::getInstance().setHeadless(options.headless);
    mx::GameManager& game = mx::GameManager::getInstance();
    if (options.realTime) {
        game.setRealTime(true); // headless, yet at the frame period
    }
    mx::InputManager& input = mx::InputManager::getInstance();
    mx::LogManager& log = mx::LogManager::getInstance();
    auto seed = static_cast<std::uint32_t>(std::time(nullptr));
    if (!options.replay.empty()) {
        // Read before any window opens, with the log up to say why a file is refused.
        if (log.startUp() != 0 || input.startReplay(options.replay) != 0) {
            log.shutDown();
            log.showFatal("Cannot replay '" + options.replay.string() + "'");
            return 1;
        }
        seed = input.getReplaySeed();
    }
    if (setUpGame() == nullptr) {
        log.writeLog("Failed to start engine");
        log.showFatal("Failed to start engine");
        return -1;
    }
    // Seeded once the engine is up: libraries it starts may draw numbers of their own (the
    // sound system's may), which would leave a replay's game with other numbers.
    std::srand(seed);
    if (!options.record.empty() && input.startRecording(options.record, seed) != 0) {
        game.shutDown();
        log.showFatal("Cannot record into '" + options.record.string() + "'");
        return 1;
    }
    if (options.frames) {
        (void)game.runFrames(*options.frames);
    } else {
        game.run();
    }
    if (!options.replay.empty() || !options.record.empty() || options.frames) {
        std::printf("world hash: %s\n", hexadecimal(worldHash()).c_str());
        std::fflush(stdout);
    }
    game.shutDown();
    return 0;
}
