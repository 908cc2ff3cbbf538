#pragma once

#include <bitset>
#include <cstddef>

#include <SFML/System/Vector2.hpp>
#include <SFML/Window/Keyboard.hpp>

#include <mx/EventKeyboard.h>
#include <mx/Manager.h>
#include <mx/Vector.h>

namespace mx {

/// The engine key code of an SFML key; UNDEFINED_KEY for keys the engine does not name.
[[nodiscard]] Keyboard::Key translateKey(sf::Keyboard::Key key);

/// Turns the window's events into keyboard and mouse events for every object.
/// Closing the window ends the game. F11 and Alt+Enter belong to the engine: they
/// switch the display to fullscreen and back and reach no object.
class InputManager : public Manager {
public:
    static constexpr const char* TYPE = "InputManager"; ///< the type of the input manager

    /// The one input manager.
    static InputManager& getInstance();

    /// Drains the window's event queue, broadcasting one engine event per key,
    /// button or pointer move, in the order the window reported them. A new window
    /// size lays the display out anew.
    void getInput();

    /// Whether a key is held down now, as the window's key events tell. A key pressed and
    /// released within one frame (a tap) counts as held until the next frame's input, so
    /// a step that asks sees every tap. UNDEFINED_KEY is never held.
    [[nodiscard]] bool isKeyHeld(Keyboard::Key key) const;

    /// Whether a mouse button (SFML's number: left 0, right 1, middle 2, extras 3 and 4)
    /// is held down now; a click within one frame counts until the next, as for keys.
    [[nodiscard]] bool isMouseButtonHeld(int button) const;

    /// A window pixel position in cells of the grid, through the display's scaling
    /// (DisplayManager::windowPixelToCells).
    [[nodiscard]] static Vector pixelToCells(sf::Vector2i pixel);

private:
    friend class Immortal<InputManager>;
    InputManager() { setType(TYPE); }

    int startUpImpl() override;
    void shutDownImpl() override;

    /// Handles F11 and Alt+Enter; true when the key was the engine's and goes no further.
    bool takeFullscreenKey(sf::Keyboard::Key key, bool pressed, bool altInEvent);
    /// Forgets keys and buttons held: their releases go to another window.
    void forgetHeld();

    /// Held keys or buttons, from their press and release events.
    struct HeldSet {
        static constexpr std::size_t SIZE = 128;
        std::bitset<SIZE> held;
        std::bitset<SIZE> pressedThisFrame;
        std::bitset<SIZE> releaseNextFrame;

        void startFrame();
        void press(int index);
        void release(int index);
        [[nodiscard]] bool isHeld(int index) const;
        void clear();
    };

    HeldSet keys;
    HeldSet buttons;
    bool altHeld = false;            ///< an Alt key is down, as far as this window has seen
    bool enterReleaseTaken = false;  ///< the Enter of an Alt+Enter is still down
};

} // namespace mx
