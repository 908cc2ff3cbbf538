#pragma once

#include <SFML/Graphics/Color.hpp>

#include <mx/Object.h>
#include <mx/ObjectList.h>

/// The faint translucent green the background sprite is shown in.
inline constexpr sf::Color BACKGROUND_TINT{0, 255, 0, 51};

/// Covers the world with tiles of the "background" sprite, in the lowest layer,
/// never colliding. The tiles are plain objects the world owns; destroying the
/// background destroys them in the same deletion walk.
class Background : public mx::Object {
public:
    Background();
    ~Background() override;

    [[nodiscard]] const mx::ObjectList& getTiles() const { return tiles; }

private:
    mx::ObjectList tiles;
};
