#pragma once

#include <array>
#include <cmath>

#include <mx/Box.h>
#include <mx/Vector.h>

namespace mx {

/// Where a wrapping world shows copies of itself: beside it, one boundary's width to the
/// left and right when it wraps across, one height above and below when it wraps up and
/// down, and diagonally when it wraps both ways. Collisions and drawing try an object's
/// copies in this order, the world itself first.
struct Seams {
    /// offsets[0] is ZERO; then (-W, 0), (W, 0), (0, -H), (-W, -H), (W, -H), (0, H), (-W, H),
    /// (W, H), leaving out the axes that do not wrap.
    std::array<Vector, 9> offsets{};
    int count = 1;
    float width = 0.0f;  ///< the boundary's width when the world wraps across, else 0
    float height = 0.0f; ///< its height when it wraps up and down, else 0

    Seams() = default;

    /// The copies of a world with this boundary; an axis whose extent is no finite,
    /// positive number does not wrap.
    Seams(const Box& boundary, bool across, bool upDown) {
        const float w = boundary.getWidth();
        const float h = boundary.getHeight();
        const bool x = across && std::isfinite(w) && w > 0.0f;
        const bool y = upDown && std::isfinite(h) && h > 0.0f;
        width = x ? w : 0.0f;
        height = y ? h : 0.0f;
        for (const float dy : {0.0f, -h, h}) {
            for (const float dx : {0.0f, -w, w}) {
                if ((dx == 0.0f || x) && (dy == 0.0f || y) && (dx != 0.0f || dy != 0.0f)) {
                    offsets[static_cast<std::size_t>(count++)] = Vector(dx, dy);
                }
            }
        }
    }

    /// Whether there is any copy besides the world itself.
    [[nodiscard]] bool wraps() const { return count > 1; }
};

/// A box moved by an offset.
[[nodiscard]] constexpr Box shifted(const Box& box, Vector by) {
    return {box.left + by.x, box.right + by.x, box.top + by.y, box.bottom + by.y};
}

} // namespace mx
