#pragma once

#include <SFML/Graphics/Color.hpp>

/// Converts three channels from 0..1 into an opaque colour; values are clamped,
/// and others are scaled by 255 in single precision and truncated (0.1 gives 25).
[[nodiscard]] sf::Color colorFromFloats(float r, float g, float b);

/// Loads the game's sprites and sounds from the working folder.
void loadGameResources();

/// The whole program: start the engine, set up the game, run it, shut down.
/// Returns the process exit code: 0 after a normal end, -1 when the engine cannot start.
[[nodiscard]] int runProgram();
