#pragma once

#include <mx/Object.h>

/// The sprite file every nest shows, recoloured per nest.
inline constexpr const char* NEST_SPRITE_FILE = "sprites/nest.txt";
/// Nests stand this many cells inside the world's corners.
inline constexpr float NEST_INSET = 5.0f;

/// The home of one flock colour: a bird of that colour touching it is collected.
class Nest : public mx::Object {
public:
    static constexpr const char* TYPE = "Nest";

    /// A nest of flock colour 0 to 3 at a world position, showing "sprites/nest.txt"
    /// in its colour (loaded once per colour, under the label "nest" + colour).
    Nest(int color, mx::Vector position);

    /// On a collision with a bird of its colour: announces the collection and marks
    /// the bird for deletion. Returns 1 then, else 0.
    int eventHandler(const mx::Event* event) override;

    [[nodiscard]] int getColor() const { return color; }

private:
    int color;
};
