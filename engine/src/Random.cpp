#include <mx/Random.h>

namespace mx {

void Random::setSeed(std::uint32_t value) {
    seed = value == 0 ? 1 : value;
    // The state is filled by the "minimal standard" generator (16807 mod 2^31 - 1, with
    // Schrage's method), then stirred by ten rounds of draws that are thrown away.
    state[0] = seed;
    // The seed is taken as a signed 32-bit number, as the C library takes it.
    auto word = static_cast<std::int32_t>(seed);
    for (int i = 1; i < DEGREE; ++i) {
        const std::int64_t hi = word / 127773;
        const std::int64_t lo = word % 127773;
        word = static_cast<std::int32_t>(16807 * lo - 2836 * hi);
        if (word < 0) {
            word += 2147483647;
        }
        state[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(word);
    }
    front = SEPARATION;
    rear = 0;
    for (int i = 0; i < DEGREE * 10; ++i) {
        (void)next();
    }
}

std::uint32_t Random::next() {
    std::uint32_t& tap = state[static_cast<std::size_t>(front)];
    tap += state[static_cast<std::size_t>(rear)]; // wraps modulo 2^32
    front = front + 1 == DEGREE ? 0 : front + 1;
    rear = rear + 1 == DEGREE ? 0 : rear + 1;
    return tap >> 1; // the lowest bit is the least random
}

int Random::between(int low, int high) {
    if (high <= low) {
        (void)next(); // one draw whatever the range, so that a sequence does not shift
        return low;
    }
    const auto span = static_cast<std::uint32_t>(static_cast<std::int64_t>(high) - low + 1);
    const std::uint32_t drawn = span == 0 ? next() : next() % span; // 0: every int
    return static_cast<int>(static_cast<std::int64_t>(low) + drawn);
}

float Random::unit() {
    return static_cast<float>(next() >> 7) * (1.0f / 16777216.0f);
}

} // namespace mx
