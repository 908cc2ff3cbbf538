#pragma once

#include <cmath>

namespace mx {

/// A position or displacement in world cells: x to the right, y downwards.
struct Vector {
    float x = 0.0f;
    float y = 0.0f;

    constexpr Vector() = default;
    constexpr Vector(float x_, float y_) : x(x_), y(y_) {}

    static const Vector ZERO;
    static const Vector LEFT;
    static const Vector UP;
    static const Vector RIGHT;
    static const Vector DOWN;

    [[nodiscard]] float getX() const { return x; }
    [[nodiscard]] float getY() const { return y; }
    void setX(float value) { x = value; }
    void setY(float value) { y = value; }

    /// Length: the square root of x² + y².
    [[nodiscard]] float getMagnitude() const { return std::sqrt(x * x + y * y); }

    constexpr Vector operator+(Vector other) const { return {x + other.x, y + other.y}; }
    constexpr Vector operator-(Vector other) const { return {x - other.x, y - other.y}; }
    constexpr Vector operator*(float factor) const { return {x * factor, y * factor}; }
    constexpr Vector operator/(float divisor) const { return {x / divisor, y / divisor}; }
    constexpr Vector& operator+=(Vector other) { x += other.x; y += other.y; return *this; }
    constexpr Vector& operator-=(Vector other) { x -= other.x; y -= other.y; return *this; }
    constexpr bool operator==(const Vector&) const = default;
};

inline constexpr Vector Vector::ZERO{0.0f, 0.0f};
inline constexpr Vector Vector::LEFT{-1.0f, 0.0f};
inline constexpr Vector Vector::UP{0.0f, -1.0f};
inline constexpr Vector Vector::RIGHT{1.0f, 0.0f};
inline constexpr Vector Vector::DOWN{0.0f, 1.0f};

} // namespace mx
