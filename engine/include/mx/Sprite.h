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

    /// Width of every frame in cells.
    [[nodiscard]] int getWidth() const { return width; }
    /// Sets the width of every frame in cells.
    void setWidth(int w) { width = w; }
    /// Height of every frame in cells.
    [[nodiscard]] int getHeight() const { return height; }
    /// Sets the height of every frame in cells.
    void setHeight(int h) { height = h; }
    /// The most frames it can hold.
    [[nodiscard]] int getMaxFrameCount() const { return maxFrameCount; }
    /// The frames added so far.
    [[nodiscard]] int getFrameCount() const { return frameCount; }
    /// The colour of all its characters (white at first).
    [[nodiscard]] sf::Color getColor() const { return color; }
    /// Colours all its characters, for every object that shows it.
    void setColor(sf::Color c) { color = c; }
    /// Game frames each sprite frame shows when animated; 0 stays on one frame.
    [[nodiscard]] int getSlowdown() const { return slowdown; }
    /// Sets the game frames each sprite frame shows; 0 stays on one frame.
    void setSlowdown(int s) { slowdown = s; }
    /// The name the resource manager finds it by.
    [[nodiscard]] const std::string& getLabel() const { return label; }
    /// Names it.
    void setLabel(std::string l) { label = std::move(l); }
    /// The character drawing skips, leaving its cell untouched; 0 for none.
    [[nodiscard]] char getTransparency() const { return transparency; }
    /// Sets the character drawing skips; 0 for none.
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
