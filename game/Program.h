#pragma once

#include "Options.h"

/// The whole program: start the engine, set up the game, run it, shut down. Returns the
/// process exit code: 0 after a normal end, -1 when the engine cannot start, 1 when the
/// replay file is refused or the recording cannot be written.
[[nodiscard]] int runProgram(const ProgramOptions& options);
