#include <mx/CellGrid.h>

#include <algorithm>
#include <cstdio>
#include <ostream>

namespace mx {

namespace {

struct NamedKey {
    sf::Color color;
    char key;
};

constexpr NamedKey NAMED_KEYS[] = {{WHITE, 'w'},   {RED, 'r'},     {GREEN, 'g'},  {BLUE, 'b'},
                                   {CYAN, 'c'},    {MAGENTA, 'm'}, {YELLOW, 'y'}, {BLACK, 'k'}};

/// Keys of colours without a name, in the order they first appear; '*' for any beyond.
constexpr char OTHER_KEYS[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

char printable(char ch) {
    return ch >= ' ' && ch <= '~' ? ch : '?';
}

/// The key of a drawn colour in the colour layer; colours without a name are numbered in `others`.
char colorKey(sf::Color color, std::vector<sf::Color>& others) {
    for (const NamedKey& named : NAMED_KEYS) {
        if (named.color == color) {
            return named.key;
        }
    }
    auto found = std::find(others.begin(), others.end(), color);
    if (found == others.end()) {
        others.push_back(color);
        found = others.end() - 1;
    }
    const auto index = static_cast<std::size_t>(found - others.begin());
    return index < sizeof OTHER_KEYS - 1 ? OTHER_KEYS[index] : '*';
}

std::string legendLine(char key, sf::Color color) {
    char line[32];
    if (color.a == 255) {
        std::snprintf(line, sizeof line, "%c = #%02X%02X%02X\n", key, color.r, color.g, color.b);
    } else {
        std::snprintf(line, sizeof line, "%c = #%02X%02X%02X%02X\n", key, color.r, color.g, color.b, color.a);
    }
    return line;
}

} // namespace

CellGrid::CellGrid(int width_, int height_, sf::Color background_)
    : width(std::max(0, width_)), height(std::max(0, height_)), background(background_),
      chars(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), ' '),
      colors(chars.size(), sf::Color::Transparent.toInteger()) {}

Cell CellGrid::getCell(int column, int row) const {
    if (column < 0 || column >= width || row < 0 || row >= height) {
        return Cell{};
    }
    const std::size_t i = static_cast<std::size_t>(row) * static_cast<std::size_t>(width) + static_cast<std::size_t>(column);
    return Cell{chars[i], sf::Color(colors[i]), background};
}

std::string CellGrid::getRow(int row) const {
    std::string text(static_cast<std::size_t>(width), ' ');
    for (int column = 0; column < width; ++column) {
        text[static_cast<std::size_t>(column)] = printable(getCell(column, row).ch);
    }
    return text;
}

std::string CellGrid::getText(bool withColors) const {
    std::string text;
    for (int row = 0; row < height; ++row) {
        text += getRow(row) + '\n';
    }
    if (!withColors) {
        return text;
    }
    text += '\n';
    std::vector<sf::Color> others;
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            const Cell cell = getCell(column, row);
            text += cell.isDrawn() ? colorKey(cell.color, others) : ' ';
        }
        text += '\n';
    }
    for (std::size_t i = 0; i < others.size() && i < sizeof OTHER_KEYS - 1; ++i) {
        text += legendLine(OTHER_KEYS[i], others[i]);
    }
    if (others.size() > sizeof OTHER_KEYS - 1) {
        text += "* = any of the other colours\n";
    }
    return text;
}

void CellGrid::clear(sf::Color background_) {
    background = background_;
    std::fill(chars.begin(), chars.end(), ' ');
    std::fill(colors.begin(), colors.end(), sf::Color::Transparent.toInteger());
}

std::ostream& operator<<(std::ostream& out, const CellGrid& grid) {
    return out << grid.getText(true);
}

} // namespace mx
