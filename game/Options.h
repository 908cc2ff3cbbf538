#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

/// What the command line asks for.
struct ProgramOptions {
    bool headless = false;              ///< --headless: no window
    bool realTime = false;              ///< --real-time: a headless run keeps the frame period
    std::filesystem::path record;       ///< --record FILE: the input is recorded there
    std::filesystem::path replay;       ///< --replay FILE: the input comes from there
    std::optional<std::uint32_t> frames; ///< --frames N: the run stops after N frames
    bool verbose = false;               ///< --verbose: the start-up and exit notices are logged too
    bool help = false;                  ///< --help
};

/// The command line's help text.
[[nodiscard]] const char* usage();

/// Reads the command line's arguments (without the program's name); nothing, and why in
/// error, when they make no sense.
[[nodiscard]] std::optional<ProgramOptions> parseOptions(const std::vector<std::string>& arguments, std::string& error);
