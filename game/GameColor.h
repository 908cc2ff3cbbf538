#pragma once

#include <SFML/Graphics/Color.hpp>

/// Converts three channels from 0..1 into an opaque colour; values are clamped,
/// and others are scaled by 255 in single precision and truncated (0.1 gives 25).
[[nodiscard]] sf::Color colorFromFloats(float r, float g, float b);
