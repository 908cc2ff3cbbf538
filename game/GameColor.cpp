#include "GameColor.h"

#include <cstdint>

namespace {

std::uint8_t channelFromFloat(float value) {
    if (value >= 1.0f) {
        return 255;
    }
    if (value <= 0.0f) {
        return 0;
    }
    return static_cast<std::uint8_t>(value * 255.0f);
}

} // namespace

sf::Color colorFromFloats(float r, float g, float b) {
    return sf::Color(channelFromFloat(r), channelFromFloat(g), channelFromFloat(b), 255);
}
