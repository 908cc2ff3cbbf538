#pragma once

#include <cstdint>
#include <string>

/// A 64-bit hash (FNV-1a) of every object's type, position and velocity, in list order,
/// and of the score: the score counter's value during a game, else the last game's score.
/// Two runs that end in the same hash ended in the same world.
[[nodiscard]] std::uint64_t worldHash();

/// A hash as 16 lower-case hexadecimal digits.
[[nodiscard]] std::string hexadecimal(std::uint64_t value);
