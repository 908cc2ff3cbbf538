#pragma once

#include "Options.h"

/// The program's exit codes; --help and the README list them.
enum ExitCode : int {
    EXIT_OK = 0,               ///< the run ended as asked: Q, the close button, Ctrl-C, the replay's or --frames' end
    EXIT_FILE_FAILED = 1,      ///< a file was refused (the replay cannot be read; the recording cannot be written there)
                               ///< or writing the recording, or lines of the log, failed during the session
    EXIT_USAGE = 2,            ///< the command line makes no sense
    EXIT_REPLAY_DIFFERS = 3,   ///< the replay left its recording: a checkpoint's world hash differs
    EXIT_REPLAY_CUT_SHORT = 4, ///< the replay's file was cut short: it played to its last checkpoint
    EXIT_NO_ENGINE = -1,       ///< the engine cannot start (255 as the shell sees it)
};

/// The whole program: check the files it is given, start the engine, set up the game, run
/// it, shut down. Returns the process exit code.
[[nodiscard]] int runProgram(const ProgramOptions& options);
