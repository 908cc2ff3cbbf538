#pragma once

#include <string>

namespace mx {

/// A picture of one or more frames of characters. (Frames and loading come later.)
class Sprite {
public:
    [[nodiscard]] int getWidth() const { return width; }
    void setWidth(int w) { width = w; }
    [[nodiscard]] int getHeight() const { return height; }
    void setHeight(int h) { height = h; }
    [[nodiscard]] const std::string& getLabel() const { return label; }
    void setLabel(std::string l) { label = std::move(l); }

private:
    int width = 0;
    int height = 0;
    std::string label;
};

} // namespace mx
