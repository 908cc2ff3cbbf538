#pragma once

#include <mx/Vector.h>

namespace mx {

/// An axis-aligned extent in world cells; top is the smaller y.
struct Box {
    float left = 0.0f;   ///< smallest x
    float right = 0.0f;  ///< largest x
    float top = 0.0f;    ///< smallest y
    float bottom = 0.0f; ///< largest y

    /// The empty box at the origin.
    constexpr Box() = default;
    /// The box from left to right and from top to bottom.
    constexpr Box(float left_, float right_, float top_, float bottom_)
        : left(left_), right(right_), top(top_), bottom(bottom_) {}

    /// right − left.
    [[nodiscard]] constexpr float getWidth() const { return right - left; }
    /// bottom − top.
    [[nodiscard]] constexpr float getHeight() const { return bottom - top; }

    /// The box of width w and height h centred on c.
    [[nodiscard]] static constexpr Box centredOn(Vector c, float w, float h) {
        return {c.x - w * 0.5f, c.x + w * 0.5f, c.y - h * 0.5f, c.y + h * 0.5f};
    }

    /// Equal in all four edges.
    constexpr bool operator==(const Box&) const = default;
};

/// The engine's one overlap rule. Boxes that only touch along an edge do not
/// intersect; a box inside another does; any NaN coordinate makes it false.
[[nodiscard]] constexpr bool boxesIntersect(const Box& a, const Box& b) {
    const bool xOverlap = (b.left > a.left && a.right > b.left) ||
                          (a.left > b.left && b.right > a.left) ||
                          a.left == b.left || a.right == b.right;
    if (!xOverlap) {
        return false;
    }
    return (b.top > a.top && a.bottom > b.top) ||
           (a.top > b.top && b.bottom > a.top) ||
           a.top == b.top || a.bottom == b.bottom;
}

} // namespace mx
