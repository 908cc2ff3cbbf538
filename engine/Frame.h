#pragma once

#include <string>
#include <utility>

namespace mx {

/// One picture of a sprite: its rows of characters joined without line breaks.
/// Row r is the text from r × width, width characters long.
class Frame {
public:
    Frame() = default;
    Frame(int width_, int height_, std::string frameStr_)
        : width(width_), height(height_), frameStr(std::move(frameStr_)) {}

    [[nodiscard]] int getWidth() const { return width; }
    [[nodiscard]] int getHeight() const { return height; }
    [[nodiscard]] const std::string& getString() const { return frameStr; }

private:
    int width = 0;
    int height = 0;
    std::string frameStr;
};

} // namespace mx
