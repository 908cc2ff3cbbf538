#pragma once

#include <SFML/Graphics/Color.hpp>

#include <mx/Vector.h>

#include "Bird.h"

namespace mx {
class Sound;
}

/// The player's bird. It flies towards the mouse pointer, seen from the centre of the
/// screen (the view follows it), and calls while the left button is held: the call
/// loops, it turns orange, and nearby birds flee and from then on follow it.
class Hero : public Bird {
public:
    static constexpr float HERO_SPEED = 0.5f;
    static constexpr char HERO_CHAR = '%';
    static constexpr char CURSOR_CHAR = '+';
    static constexpr sf::Color HERO_COLOR{57, 250, 128, 255};
    static constexpr sf::Color HERO_CALLING_COLOR{252, 107, 3, 255};

    /// A hero at the centre of the world, followed by the view, with the "Scream" call.
    Hero();
    ~Hero() override;

    /// Steers on "MouseEvent", keeps inside the world on "StepEvent", and goes
    /// inactive on "GameOver" (the next mouse event then stops it).
    int eventHandler(const mx::Event* event) override;

    /// Draws "%" at the hero and "+" at the pointer. Returns the two drawings' results or'ed.
    int draw() override;

    [[nodiscard]] bool isCalling() const { return calling; }
    [[nodiscard]] bool isActive() const { return active; }
    /// The pointer, in cells from the window's top-left corner.
    [[nodiscard]] mx::Vector getCursor() const { return cursor; }
    [[nodiscard]] mx::Vector getDirection() const { return direction; }

private:
    void onMouse(const mx::Event* event);
    void setCalling(bool on);

    bool calling = false;
    bool active = true;
    mx::Vector cursor;
    mx::Vector direction;
    mx::Sound* callSound = nullptr;
};
