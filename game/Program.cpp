#include "Program.h"

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>

#include <mx/DisplayManager.h>
#include <mx/GameManager.h>
#include <mx/Hash.h>
#include <mx/InputManager.h>
#include <mx/LogManager.h>

#include "GameSetup.h"

namespace {

/// A message for the person who started the program, whose console may not show the log.
void tell(const std::string& message) {
    std::fprintf(stderr, "moltrix: %s\n", message.c_str());
}

/// The files the command line names, checked before the engine starts (with the log up to say
/// why one is refused), so that a window never opens for a run that cannot be done. The
/// replay is started, which seeds the engine's random numbers as it was recorded.
bool checkFiles(const ProgramOptions& options) {
    mx::LogManager& log = mx::LogManager::getInstance();
    mx::InputManager& input = mx::InputManager::getInstance();
    if (options.replay.empty() && options.record.empty()) {
        return true;
    }
    if (log.startUp() != 0) {
        return false;
    }
    if (!options.replay.empty() && input.startReplay(options.replay) != 0) {
        tell("cannot replay '" + options.replay.string() + "': the log says why");
        log.showFatal("Cannot replay '" + options.replay.string() + "'");
        return false;
    }
    if (!options.record.empty()) {
        if (const auto why = input.whyNotRecordingTarget(options.record)) {
            log.writeLog("ERROR: Cannot record into '%s': it %s", options.record.string().c_str(), why->c_str());
            tell("cannot record into '" + options.record.string() + "': it " + *why);
            log.showFatal("Cannot record into '" + options.record.string() + "'");
            return false;
        }
    }
    return true;
}

/// What the end of the run says about its files: the exit code, and a word on each problem.
int judgeRun() {
    mx::InputManager& input = mx::InputManager::getInstance();
    int code = EXIT_OK;
    if (input.stopRecording() != 0) {
        tell("the recording could not be written (" + input.getRecordingError() + "): its file is left as it was");
        code = EXIT_FILE_FAILED;
    }
    if (const auto& mismatch = input.getReplayMismatch()) {
        tell("the replay differs from its recording at frame " + std::to_string(mismatch->frame) + ": world hash " +
             mx::Hash::toText(mismatch->replayed) + ", recorded " + mx::Hash::toText(mismatch->recorded));
        return code != EXIT_OK ? code : EXIT_REPLAY_DIFFERS;
    }
    if (input.isReplayCutShort()) {
        tell("the replay's file was cut short: it played to its last checkpoint, frame " +
             std::to_string(input.getReplayFrameCount() - 1));
        return code != EXIT_OK ? code : EXIT_REPLAY_CUT_SHORT;
    }
    return code;
}

} // namespace

int runProgram(const ProgramOptions& options) {
    mx::DisplayManager::getInstance().setHeadless(options.headless);
    mx::GameManager& game = mx::GameManager::getInstance();
    if (options.realTime) {
        game.setRealTime(true); // headless, yet at the frame period
    }
    mx::InputManager& input = mx::InputManager::getInstance();
    mx::LogManager& log = mx::LogManager::getInstance();
    if (options.verbose) {
        log.setVerbosity(1);
    }
    if (!checkFiles(options)) {
        log.shutDown();
        return EXIT_FILE_FAILED;
    }
    // A new world each time, unless a replay gave the recording's seed.
    const std::uint32_t seed = input.isReplaying() ? input.getReplaySeed() : static_cast<std::uint32_t>(std::time(nullptr));
    game.getRandom().setSeed(seed);
    if (setUpGame() == nullptr) {
        log.writeLog("Failed to start engine");
        log.showFatal("Failed to start engine");
        return EXIT_NO_ENGINE;
    }
    if (!options.record.empty() && input.startRecording(options.record, seed) != 0) {
        tell("cannot record into '" + options.record.string() + "': the log says why");
        game.shutDown();
        log.showFatal("Cannot record into '" + options.record.string() + "'");
        return EXIT_FILE_FAILED;
    }
    if (options.frames) {
        (void)game.runFrames(*options.frames);
    } else {
        game.run();
    }
    if (!options.replay.empty() || !options.record.empty() || options.frames) {
        std::printf("world hash: %s\n", mx::Hash::toText(game.getWorldHash()).c_str());
        std::fflush(stdout);
    }
    int code = judgeRun();
    game.shutDown();
    if (log.getLostLineCount() > 0 && code == EXIT_OK) {
        tell(std::to_string(log.getLostLineCount()) + " lines could not be written to the log");
        code = EXIT_FILE_FAILED;
    }
    return code;
}
