#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <SFML/Graphics/Color.hpp>

/// Converts three channels from 0..1 into an opaque colour; values are clamped,
/// and others are scaled by 255 in single precision and truncated (0.1 gives 25).
[[nodiscard]] sf::Color colorFromFloats(float r, float g, float b);

/// The game's font; the folder that holds it holds the sprites and sounds too.
inline constexpr const char* FONT_FILE = "mx-font.ttf";

/// Finds the game's data (the working folder, the program's folder, or share/moltrix
/// beside it) and sets the engine up to read it, and only its own font.
void useGameData();

/// Loads the game's sprites and sounds from its data folder.
void loadGameResources();

class Menu;

/// Starts the engine on the game's data and sets the game up: the 200 x 100 world, the
/// sprites and sounds, the dark green background, the title. Returns the menu, or null
/// when the engine cannot start (it has logged why).
[[nodiscard]] Menu* setUpGame();

/// What the command line asks for.
struct ProgramOptions {
    bool headless = false;              ///< --headless: no window
    bool realTime = false;              ///< --real-time: a headless run keeps the frame period
    std::filesystem::path record;       ///< --record FILE: the input is recorded there
    std::filesystem::path replay;       ///< --replay FILE: the input comes from there
    std::optional<std::uint32_t> frames; ///< --frames N: the run stops after N frames
    bool help = false;                  ///< --help
};

/// The command line's help text.
[[nodiscard]] const char* usage();

/// Reads the command line's arguments (without the program's name); nothing, and why in
/// error, when they make no sense.
[[nodiscard]] std::optional<ProgramOptions> parseOptions(const std::vector<std::string>& arguments, std::string& error);

/// A 64-bit hash (FNV-1a) of every object's type, position and velocity, in list order,
/// and of the score: the score counter's value during a game, else the last game's score.
/// Two runs that end in the same hash ended in the same world.
[[nodiscard]] std::uint64_t worldHash();

/// The whole program: start the engine, set up the game, run it, shut down. Returns the
/// process exit code: 0 after a normal end, -1 when the engine cannot start, 1 when the
/// replay file is refused or the recording cannot be written.
[[nodiscard]] int runProgram(const ProgramOptions& options);
