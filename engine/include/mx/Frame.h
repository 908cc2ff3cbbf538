#pragma once

#include <string>
#include <string_view>
#include <utility>

#include <SFML/Graphics/Color.hpp>

#include <mx/Vector.h>

namespace mx {

/// One picture of a sprite: its rows of characters joined without line breaks.
/// Row r is the text from r × width, width characters long.
class Frame {
public:
    /// An empty frame: 0 x 0, no text.
    Frame() = default;
    /// A frame of width x height cells from its rows joined without line breaks.
    Frame(int width_, int height_, std::string frameStr_)
        : width(width_), height(height_), frameStr(std::move(frameStr_)) {}

    /// Width in cells.
    [[nodiscard]] int getWidth() const { return width; }
    /// Height in cells (rows).
    [[nodiscard]] int getHeight() const { return height; }
    /// The rows, joined without line breaks.
    [[nodiscard]] const std::string& getString() const { return frameStr; }

    /// Row r of the frame: width characters from r × width, shorter where the text
    /// ends sooner, empty where it has already ended (nothing past the text is read).
    [[nodiscard]] std::string_view getRow(int r) const;

private:
    int width = 0;
    int height = 0;
    std::string frameStr;
};

/// Draws a frame centred on a world position, row by row, in one colour; characters
/// equal to transparent leave their cells untouched (0 skips nothing). Returns 0.
int drawFrame(const Frame& frame, Vector position, sf::Color color, char transparent);

} // namespace mx
