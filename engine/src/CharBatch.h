#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include <SFML/Graphics/Color.hpp>
#include <SFML/Graphics/Glyph.hpp>
#include <SFML/Graphics/Rect.hpp>
#include <SFML/Graphics/RenderTarget.hpp>
#include <SFML/Graphics/Texture.hpp>
#include <SFML/Graphics/Vertex.hpp>

namespace mx {

/// The cells drawn during one frame, kept as quads and drawn together.
///
/// Each cell is a background rectangle followed by a glyph. Drawing all backgrounds
/// and then all glyphs gives the same picture as drawing cell after cell as long as
/// no background covers a glyph added before it; when one would, the batch starts a
/// new segment there, so the picture always matches the drawing order.
///
/// When the target is known to hold only the opaque background colour, a background
/// rectangle that covers no earlier glyph changes no pixel and is left out.
class CharBatch {
public:
    /// area: the pixels that can be seen; quads wholly outside it are dropped.
    explicit CharBatch(sf::Vector2f area);

    /// Adds a background rectangle and, when glyph is not null, the glyph's quad
    /// with its baseline origin at glyphOrigin, exactly as sf::Text lays it out.
    void addCell(const sf::FloatRect& cell, sf::Color background, const sf::Glyph* glyph,
                 sf::Vector2f glyphOrigin, sf::Color color);

    /// Whether the target holds nothing but the cells' own opaque background colour,
    /// so that backgrounds over no earlier glyph may be left out.
    void setTargetHoldsOnlyBackground(bool only) { targetHoldsOnlyBackground = only; }

    /// Draws everything added since the last clear, segment by segment.
    void draw(sf::RenderTarget& target, const sf::Texture& glyphTexture) const;

    void clear();

    /// Sets the pixels that can be seen anew (the window's size changed); clears the batch.
    void setArea(sf::Vector2f area);

    /// Segments the current batch needs (two draw calls each at most).
    [[nodiscard]] std::size_t getSegmentCount() const { return segments.size() + 1; }
    /// Background rectangles the batch will draw.
    [[nodiscard]] std::size_t getBackgroundCount() const { return backgrounds.size() / 6; }
    [[nodiscard]] bool isEmpty() const { return backgrounds.empty() && glyphs.empty(); }

private:
    struct Segment {
        std::size_t backgroundEnd;
        std::size_t glyphEnd;
    };
    struct GlyphRect {
        sf::FloatRect rect;
        std::size_t segment;
    };
    /// The glyph rectangles of the batch, bucketed by screen area.
    struct Bucket {
        std::uint32_t generation = 0;
        std::vector<GlyphRect> glyphRects;
    };
    enum class Cover { NOTHING, EARLIER_SEGMENT, CURRENT_SEGMENT };

    [[nodiscard]] bool isVisible(const sf::FloatRect& r) const;
    [[nodiscard]] Cover coveredGlyphs(const sf::FloatRect& r);
    void rememberGlyph(const sf::FloatRect& r);
    void startSegment();
    template <typename Visit>
    void forEachBucket(const sf::FloatRect& r, Visit visit);

    sf::Vector2f area;
    int columns = 1;
    int rows = 1;
    std::vector<Bucket> buckets;
    std::uint32_t generation = 1;
    bool targetHoldsOnlyBackground = false;
    std::vector<sf::Vertex> backgrounds;
    std::vector<sf::Vertex> glyphs;
    std::vector<Segment> segments; ///< closed segments; the open one ends at the vectors' ends
};

} // namespace mx
