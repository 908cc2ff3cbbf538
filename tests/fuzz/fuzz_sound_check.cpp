// libFuzzer target: whatever a sound file holds, the check either refuses it or SFML's
// decoders open, decode and close it without crashing, freeing twice or running away,
// as the engine decodes a sound effect. Inputs are read from memory, as the engine reads
// every sound file.
#include <cstdint>
#include <cstdio>
#include <span>

#include <SFML/Audio/SoundBuffer.hpp>
#include <SFML/System/Err.hpp>

#include "SoundCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // SFML explains every refusal on its error stream: keep it quiet.
    static const bool quiet = (sf::err().rdbuf(nullptr), true);
    (void)quiet;
    const std::span<const unsigned char> file(data, size);
    if (mx::whyNotSound(file)) {
        return 0;
    }
    sf::SoundBuffer buffer;
    (void)mx::decodeSound(file, buffer);
    return 0;
}
