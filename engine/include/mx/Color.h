#pragma once

#include <SFML/Graphics/Color.hpp>

namespace mx {

/// @name Named colours
/// The eight colours the engine names; they are also the colour words of sprite files
/// (white, red, green, blue, cyan, magenta, yellow, black, in any case).
/// @{
inline constexpr sf::Color WHITE{255, 255, 255, 255};  ///< (255, 255, 255)
inline constexpr sf::Color RED{255, 0, 0, 255};        ///< (255, 0, 0)
inline constexpr sf::Color GREEN{0, 255, 0, 255};      ///< (0, 255, 0)
inline constexpr sf::Color BLUE{0, 0, 255, 255};       ///< (0, 0, 255)
inline constexpr sf::Color CYAN{0, 255, 255, 255};     ///< (0, 255, 255)
inline constexpr sf::Color MAGENTA{255, 0, 255, 255};  ///< (255, 0, 255)
inline constexpr sf::Color YELLOW{255, 255, 0, 255};   ///< (255, 255, 0)
inline constexpr sf::Color BLACK{0, 0, 0, 255};        ///< (0, 0, 0)
/// @}

} // namespace mx
