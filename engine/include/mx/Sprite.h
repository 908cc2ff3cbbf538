#pragma once

#include <string>
#include <utility>
#include <vector>

#include <SFML/Graphics/Color.hpp>

#include <mx/Frame.h>

namespace mx {

/// A picture of one or more equally sized frames of characters in one colour.
/// The resource manager owns the sprites it loads; objects only point at them.
class Sprite {
public:
    /// A sprite with room for maxFrameCount frames (a negative count gives none).
    explicit Sprite(int maxFrameCount);

    [[nodiscard]] int getWidth() const { return width; }
    void setWidth(int w) { width = w; }
    [[nodiscard]] int getHeight() const { return height; }
    void setHeight(int h) { height = h; }
    [[nodiscard]] int getMaxFrameCount() const { return maxFrameCount; }
    [[nodiscard]] int getFrameCount() const { return frameCount; }
    [[nodiscard]] sf::Color getColor() const { return color; }
    void setColor(sf::Color c) { color = c; }
    [[nodiscard]] int getSlowdown() const { return slowdown; }
    void setSlowdown(int s) { slowdown = s; }
    [[nodiscard]] const std::string& getLabel() const { return label; }
    void setLabel(std::string l) { label = std::move(l); }
    [[nodiscard]] char getTransparency() const { return transparency; }
    void setTransparency(char t) { transparency = t; }

    /// The frame in slot index; callers keep 0 <= index < getFrameCount().
    [[nodiscard]] const Frame& getFrame(int index) const { return frames[static_cast<std::size_t>(index)]; }

    /// Copies a frame into the next free slot; drops it when the sprite is full.
    void addFrame(const Frame& frame);

private:
    int width = 0;
    int height = 0;
    int maxFrameCount;
    int frameCount = 0;
    sf::Color color = sf::Color::White;
    int slowdown = 1;
    std::vector<Frame> frames;
    std::string label;
    char transparency = 0;
};

} // namespace mx
