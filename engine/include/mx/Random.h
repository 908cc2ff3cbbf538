#pragma once

#include <array>
#include <cstdint>

namespace mx {

/// A seeded generator of pseudo-random numbers that gives the same sequence on every
/// platform and compiler: a game seeded alike plays alike everywhere, and a recording
/// replays to the same world on Windows and Linux.
///
/// The sequence is that of the additive feedback generator GNU's C library uses for
/// `rand()` (its default TYPE_3 state): seeded with the same number, next() draws the
/// numbers `srand` and `rand` give there. Unlike `rand()`, nothing but its owner advances
/// it: the engine's own generator (GameManager::getRandom) is drawn from by the game alone.
class Random {
public:
    /// The largest number next() draws: 2^31 - 1.
    static constexpr std::uint32_t MAX = 0x7FFFFFFF;

    /// A generator seeded with seed (0 counts as 1).
    explicit Random(std::uint32_t seed = 1) { setSeed(seed); }

    /// Starts the sequence again from seed (0 counts as 1).
    void setSeed(std::uint32_t seed);
    /// The seed the sequence last started from.
    [[nodiscard]] std::uint32_t getSeed() const { return seed; }

    /// The next number, from 0 to MAX.
    [[nodiscard]] std::uint32_t next();

    /// A whole number from low to high, both included: low + next() % (high - low + 1), so
    /// that between(0, n - 1) draws what `rand() % n` would. It draws one number whatever
    /// the range, and gives low when high is not above it.
    [[nodiscard]] int between(int low, int high);

    /// A number from 0 up to but not including 1, in steps of 2^-24 (one draw).
    [[nodiscard]] float unit();

private:
    static constexpr int DEGREE = 31;   ///< the state's length
    static constexpr int SEPARATION = 3; ///< how far apart the two taps are
    std::array<std::uint32_t, DEGREE> state{};
    int front = SEPARATION;
    int rear = 0;
    std::uint32_t seed = 1;
};

} // namespace mx
