#pragma once

#include <mx/Event.h>
#include <mx/Vector.h>

namespace mx {

/// The mouse button of a move, which involves none.
inline constexpr int UNDEFINED_MOUSE_BUTTON = -1;

enum MouseAction : int {
    PRESSED = 0,
    RELEASED = 1,
    MOVED = 2,
};

/// A mouse button went down or up, or the pointer moved. The position is in
/// cells from the window's top-left corner, not shifted by the view.
struct EventMouse : Event {
    static constexpr const char* TYPE = "MouseEvent"; ///< the type of mouse events

    /// A button went down or up at a position, or the pointer moved there (button
    /// UNDEFINED_MOUSE_BUTTON).
    EventMouse(Vector position, MouseAction action, int button)
        : mouseButton(button), mousePosition(position), mouseAction(action) {
        setType(TYPE);
    }

    /// The button; UNDEFINED_MOUSE_BUTTON for a move.
    [[nodiscard]] int getMouseButton() const { return mouseButton; }
    /// The pointer, in cells from the window's top-left corner (not shifted by the view).
    [[nodiscard]] Vector getMousePosition() const { return mousePosition; }
    /// PRESSED, RELEASED or MOVED.
    [[nodiscard]] MouseAction getMouseAction() const { return mouseAction; }

    int mouseButton;       ///< SFML's button number: left 0, right 1, middle 2, extras 3 and 4
    Vector mousePosition;    ///< in cells from the window's top-left corner
    MouseAction mouseAction; ///< PRESSED, RELEASED or MOVED
};

} // namespace mx
