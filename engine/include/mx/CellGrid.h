#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include <SFML/Graphics/Color.hpp>

#include <mx/Color.h>
#include <mx/Vector.h>

namespace mx {

/// One cell of the display's grid: the character drawn into it last in a frame, that
/// character's colour, and the cell's background colour.
struct Cell {
    char ch = ' ';                            ///< the character; a blank where nothing was drawn
    sf::Color color = sf::Color::Transparent; ///< the character's colour; transparent where nothing was drawn
    sf::Color background = BLACK;             ///< the colour the cell's background is painted in

    /// Whether a character was drawn into the cell (its colour is not transparent).
    [[nodiscard]] bool isDrawn() const { return color != sf::Color::Transparent; }
    /// Same character and colours.
    bool operator==(const Cell&) const = default;
};

/// The characters of one frame as the display's grid holds them: width × height cells,
/// row by row from the top-left corner. The display fills one while a frame is drawn, with
/// or without a window (DisplayManager::getGrid), so that a test can read what the screen
/// shows as text, and compare two frames cell for cell.
class CellGrid {
public:
    /// A grid of width × height blank cells on a background colour.
    CellGrid(int width, int height, sf::Color background = BLACK);

    /// Columns.
    [[nodiscard]] int getWidth() const { return width; }
    /// Rows.
    [[nodiscard]] int getHeight() const { return height; }
    /// The background colour the grid was last cleared to.
    [[nodiscard]] sf::Color getBackground() const { return background; }

    /// The cell at a column and row counted from 0 at the top left; outside the grid, a
    /// blank cell where nothing was drawn.
    [[nodiscard]] Cell getCell(int column, int row) const;

    /// One row's characters, width of them; blanks outside the grid. Characters other than
    /// printable ASCII read as '?'.
    [[nodiscard]] std::string getRow(int row) const;

    /// The whole grid as text: height lines of width characters, each ended by a line feed,
    /// as getRow gives them. With colours, a colour layer follows after an empty line: the
    /// same cells, each as the key of its character's colour (w r g b c m y k for the eight
    /// named colours, a blank where nothing was drawn, and A, B, C... for others, in the
    /// order they first appear), then one legend line per other colour, such as
    /// "A = #39FA80" ("#RRGGBBAA" when not opaque).
    [[nodiscard]] std::string getText(bool withColors = false) const;

    /// Blanks every cell, now on the given background colour.
    void clear(sf::Color background);

    /// Puts a character into the cell nearest to a position given in cells from the grid's
    /// top-left corner (fractions round to the nearest cell, halves upwards); a position off
    /// the grid puts nothing.
    void put(Vector position, char ch, sf::Color color) {
        // Written so that NaN, as any position off the grid, puts nothing. Inline: a frame
        // puts a few thousand cells.
        const float x = position.x + 0.5f;
        const float y = position.y + 0.5f;
        if (!(x >= 0.0f && x < static_cast<float>(width) && y >= 0.0f && y < static_cast<float>(height))) {
            return;
        }
        const std::size_t i = static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x);
        chars[i] = ch;
        colors[i] = color.toInteger();
    }

    /// Same size and the same cells.
    bool operator==(const CellGrid& other) const = default;

private:
    int width;
    int height;
    sf::Color background;
    // Characters and colours apart: a frame puts thousands of cells and clears them all.
    std::vector<char> chars;
    std::vector<std::uint32_t> colors; ///< sf::Color::toInteger(); 0 is transparent
};

/// Writes the grid with its colour layer (CellGrid::getText(true)), so that test frameworks
/// show a failed comparison as a readable picture.
std::ostream& operator<<(std::ostream& out, const CellGrid& grid);

} // namespace mx
