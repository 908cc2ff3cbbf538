#pragma once

#include <SFML/System/Vector2.hpp>
#include <SFML/Window/Keyboard.hpp>

#include <mx/EventKeyboard.h>
#include <mx/Manager.h>
#include <mx/Vector.h>

namespace mx {

/// The engine key code of an SFML key; UNDEFINED_KEY for keys the engine does not name.
[[nodiscard]] Keyboard::Key translateKey(sf::Keyboard::Key key);

/// Turns the window's events into keyboard and mouse events for every object.
/// Closing the window ends the game.
class InputManager : public Manager {
public:
    static constexpr const char* TYPE = "InputManager";

    static InputManager& getInstance();

    /// Drains the window's event queue, broadcasting one engine event per key,
    /// button or pointer move, in the order the window reported them.
    void getInput();

    /// A window pixel position in cells.
    [[nodiscard]] static Vector pixelToCells(sf::Vector2i pixel);

private:
    friend class Immortal<InputManager>;
    InputManager() { setType(TYPE); }

    int startUpImpl() override;
    void shutDownImpl() override {}
};

} // namespace mx
