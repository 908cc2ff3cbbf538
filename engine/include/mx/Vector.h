#pragma once

#include <cmath>

namespace mx {

/// A position or displacement in world cells: x to the right, y downwards.
struct Vector {
    float x = 0.0f; ///< cells to the right
    float y = 0.0f; ///< cells downwards

    /// (0, 0).
    constexpr Vector() = default;
    /// (x, y).
    constexpr Vector(float x_, float y_) : x(x_), y(y_) {}

    static const Vector ZERO;  ///< (0, 0)
    static const Vector LEFT;  ///< (−1, 0)
    static const Vector UP;    ///< (0, −1)
    static const Vector RIGHT; ///< (1, 0)
    static const Vector DOWN;  ///< (0, 1)

    /// x.
    [[nodiscard]] float getX() const { return x; }
    /// y.
    [[nodiscard]] float getY() const { return y; }
    /// Sets x.
    void setX(float value) { x = value; }
    /// Sets y.
    void setY(float value) { y = value; }

    /// Length: the square root of x² + y².
    [[nodiscard]] float getMagnitude() const { return std::sqrt(x * x + y * y); }

    /// Component-wise sum.
    constexpr Vector operator+(Vector other) const { return {x + other.x, y + other.y}; }
    /// Component-wise difference.
    constexpr Vector operator-(Vector other) const { return {x - other.x, y - other.y}; }
    /// Both components times a factor.
    constexpr Vector operator*(float factor) const { return {x * factor, y * factor}; }
    /// Both components divided by a divisor.
    constexpr Vector operator/(float divisor) const { return {x / divisor, y / divisor}; }
    /// Adds component-wise.
    constexpr Vector& operator+=(Vector other) { x += other.x; y += other.y; return *this; }
    /// Subtracts component-wise.
    constexpr Vector& operator-=(Vector other) { x -= other.x; y -= other.y; return *this; }
    /// Equal in both components.
    constexpr bool operator==(const Vector&) const = default;
};

inline constexpr Vector Vector::ZERO{0.0f, 0.0f};
inline constexpr Vector Vector::LEFT{-1.0f, 0.0f};
inline constexpr Vector Vector::UP{0.0f, -1.0f};
inline constexpr Vector Vector::RIGHT{1.0f, 0.0f};
inline constexpr Vector Vector::DOWN{0.0f, 1.0f};

/// A velocity bounced off a surface whose outward direction is normal (an
/// EventCollision's, say): the part heading into the surface is reversed. A velocity
/// already heading away from it, or a ZERO normal, comes back unchanged, so a ball that
/// touches two bricks in one update bounces once.
[[nodiscard]] constexpr Vector reflect(Vector velocity, Vector normal) {
    const float into = velocity.x * normal.x + velocity.y * normal.y;
    const float squared = normal.x * normal.x + normal.y * normal.y;
    if (!(into < 0.0f) || squared == 0.0f) {
        return velocity;
    }
    return velocity - normal * (2.0f * into / squared);
}

} // namespace mx
