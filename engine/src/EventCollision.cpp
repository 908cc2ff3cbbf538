#include <mx/EventCollision.h>

#include <algorithm>
#include <cmath>

#include <mx/Object.h>

namespace mx {

EventCollision::EventCollision(Object* self, Object* other)
    // Stores the two pointers as given: a test may well make one of no objects at all.
    : EventCollision(self, other, self != nullptr ? self->getPosition() : Vector::ZERO, Vector::ZERO) {}

namespace {

/// One axis of two boxes before they moved: how far apart they were (a negative gap when
/// they overlapped on it), and the side of the other box that faced the mover.
struct AxisApproach {
    float gap = -1.0f;
    Vector side;
};

AxisApproach approach(float moverLow, float moverHigh, float otherLow, float otherHigh, Vector lowSide) {
    if (moverHigh <= otherLow) {
        return {otherLow - moverHigh, lowSide};
    }
    if (moverLow >= otherHigh) {
        return {moverLow - otherHigh, Vector::ZERO - lowSide};
    }
    return {};
}

/// Along one axis, the way from the other box's centre to the mover's, or ZERO.
Vector apart(float moverCentre, float otherCentre, Vector positive) {
    if (moverCentre > otherCentre) {
        return positive;
    }
    if (moverCentre < otherCentre) {
        return Vector::ZERO - positive;
    }
    return Vector::ZERO;
}

} // namespace

Vector contactNormal(const Box& mover, Vector moverMoved, const Box& other, Vector otherMoved) {
    // Seen from the other box, standing still: the mover came by the difference.
    const Vector d = moverMoved - otherMoved;
    const AxisApproach x = approach(mover.left - d.x, mover.right - d.x, other.left, other.right, Vector::LEFT);
    const AxisApproach y = approach(mover.top - d.y, mover.bottom - d.y, other.top, other.bottom, Vector::UP);
    if (x.gap >= 0.0f && y.gap >= 0.0f) {
        // Apart on both axes: the later one to close is where they met. x closes at
        // x.gap / |d.x|, y at y.gap / |d.y|; compared without dividing.
        return x.gap * std::abs(d.y) > y.gap * std::abs(d.x) ? x.side : y.side;
    }
    if (x.gap >= 0.0f) {
        return x.side;
    }
    if (y.gap >= 0.0f) {
        return y.side;
    }
    const float overlapX = std::min(mover.right, other.right) - std::max(mover.left, other.left);
    const float overlapY = std::min(mover.bottom, other.bottom) - std::max(mover.top, other.top);
    if (overlapX < overlapY) {
        return apart(mover.left + mover.right, other.left + other.right, Vector::RIGHT);
    }
    return apart(mover.top + mover.bottom, other.top + other.bottom, Vector::DOWN);
}

} // namespace mx
