#include "CharBatch.h"

#include <algorithm>
#include <cmath>

namespace mx {

namespace {

constexpr float BUCKET_SIZE = 32.0f;

// Two triangles in the order sf::RectangleShape's fan makes them.
void appendQuad(std::vector<sf::Vertex>& out, sf::Vector2f p1, sf::Vector2f p2, sf::Color color,
                sf::Vector2f uv1 = {}, sf::Vector2f uv2 = {}) {
    const sf::Vertex topLeft{{p1.x, p1.y}, color, {uv1.x, uv1.y}};
    const sf::Vertex topRight{{p2.x, p1.y}, color, {uv2.x, uv1.y}};
    const sf::Vertex bottomRight{{p2.x, p2.y}, color, {uv2.x, uv2.y}};
    const sf::Vertex bottomLeft{{p1.x, p2.y}, color, {uv1.x, uv2.y}};
    out.insert(out.end(), {topLeft, topRight, bottomRight, topLeft, bottomRight, bottomLeft});
}

bool overlap(const sf::FloatRect& a, const sf::FloatRect& b) {
    return a.position.x < b.position.x + b.size.x && b.position.x < a.position.x + a.size.x &&
           a.position.y < b.position.y + b.size.y && b.position.y < a.position.y + a.size.y;
}

} // namespace

CharBatch::CharBatch(sf::Vector2f area_) {
    setArea(area_);
}

void CharBatch::setArea(sf::Vector2f area_) {
    clear();
    area = area_;
    columns = std::max(1, static_cast<int>(std::ceil(area.x / BUCKET_SIZE)));
    rows = std::max(1, static_cast<int>(std::ceil(area.y / BUCKET_SIZE)));
    buckets.assign(static_cast<std::size_t>(columns * rows), Bucket{});
}

bool CharBatch::isVisible(const sf::FloatRect& r) const {
    return r.position.x < area.x && r.position.x + r.size.x > 0.0f && r.position.y < area.y &&
           r.position.y + r.size.y > 0.0f;
}

template <typename Visit>
void CharBatch::forEachBucket(const sf::FloatRect& r, Visit visit) {
    const auto clampIndex = [](float v, int count) {
        return std::clamp(static_cast<int>(std::floor(v / BUCKET_SIZE)), 0, count - 1);
    };
    const int c0 = clampIndex(r.position.x, columns);
    const int c1 = clampIndex(r.position.x + r.size.x, columns);
    const int r0 = clampIndex(r.position.y, rows);
    const int r1 = clampIndex(r.position.y + r.size.y, rows);
    for (int row = r0; row <= r1; ++row) {
        for (int column = c0; column <= c1; ++column) {
            Bucket& bucket = buckets[static_cast<std::size_t>(row * columns + column)];
            if (bucket.generation != generation) {
                bucket.generation = generation;
                bucket.glyphRects.clear();
            }
            if (!visit(bucket)) {
                return;
            }
        }
    }
}

CharBatch::Cover CharBatch::coveredGlyphs(const sf::FloatRect& r) {
    const std::size_t current = segments.size();
    Cover cover = Cover::NOTHING;
    forEachBucket(r, [&](Bucket& bucket) {
        for (const GlyphRect& g : bucket.glyphRects) {
            if (overlap(r, g.rect)) {
                cover = g.segment == current ? Cover::CURRENT_SEGMENT : Cover::EARLIER_SEGMENT;
                if (cover == Cover::CURRENT_SEGMENT) {
                    return false;
                }
            }
        }
        return true;
    });
    return cover;
}

void CharBatch::rememberGlyph(const sf::FloatRect& r) {
    const std::size_t current = segments.size();
    forEachBucket(r, [&](Bucket& bucket) {
        bucket.glyphRects.push_back({r, current});
        return true;
    });
}

void CharBatch::startSegment() {
    segments.push_back({backgrounds.size(), glyphs.size()});
}

void CharBatch::addCell(const sf::FloatRect& cell, sf::Color background, const sf::Glyph* glyph,
                        sf::Vector2f glyphOrigin, sf::Color color) {
    if (isVisible(cell)) {
        const Cover cover = coveredGlyphs(cell);
        if (cover == Cover::CURRENT_SEGMENT) {
            startSegment();
        }
        // Over untouched pixels the background colour is already there.
        if (cover != Cover::NOTHING || !targetHoldsOnlyBackground) {
            appendQuad(backgrounds, cell.position, cell.position + cell.size, background);
        }
    }
    if (glyph == nullptr || glyph->bounds.size.x <= 0.0f || glyph->bounds.size.y <= 0.0f) {
        return;
    }
    // sf::Text pads every glyph quad by one pixel on each side.
    const sf::Vector2f padding(1.0f, 1.0f);
    const sf::Vector2f p1 = glyph->bounds.position - padding;
    const sf::Vector2f p2 = glyph->bounds.position + glyph->bounds.size + padding;
    const sf::FloatRect quad(glyphOrigin + p1, p2 - p1);
    if (!isVisible(quad)) {
        return;
    }
    const sf::Vector2f uv1 = sf::Vector2f(glyph->textureRect.position) - padding;
    const sf::Vector2f uv2 = sf::Vector2f(glyph->textureRect.position + glyph->textureRect.size) + padding;
    appendQuad(glyphs, glyphOrigin + p1, glyphOrigin + p2, color, uv1, uv2);
    // The padding samples only transparent texels: a later background over it changes
    // nothing, so only the glyph's own bounds make it start a segment. Where the cell is
    // small, the padding reaches into the next cell.
    rememberGlyph(sf::FloatRect(glyphOrigin + glyph->bounds.position, glyph->bounds.size));
}

void CharBatch::draw(sf::RenderTarget& target, const sf::Texture& glyphTexture) const {
    const sf::RenderStates textured(&glyphTexture);
    std::size_t backgroundBegin = 0;
    std::size_t glyphBegin = 0;
    const auto drawSegment = [&](std::size_t backgroundEnd, std::size_t glyphEnd) {
        if (backgroundEnd > backgroundBegin) {
            target.draw(backgrounds.data() + backgroundBegin, backgroundEnd - backgroundBegin,
                        sf::PrimitiveType::Triangles);
        }
        if (glyphEnd > glyphBegin) {
            target.draw(glyphs.data() + glyphBegin, glyphEnd - glyphBegin, sf::PrimitiveType::Triangles, textured);
        }
        backgroundBegin = backgroundEnd;
        glyphBegin = glyphEnd;
    };
    for (const Segment& segment : segments) {
        drawSegment(segment.backgroundEnd, segment.glyphEnd);
    }
    drawSegment(backgrounds.size(), glyphs.size());
}

void CharBatch::clear() {
    backgrounds.clear();
    glyphs.clear();
    segments.clear();
    ++generation; // forgets every bucket's glyphs at once
}

} // namespace mx
