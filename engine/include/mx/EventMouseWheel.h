#pragma once

#include <mx/Event.h>
#include <mx/Vector.h>

namespace mx {

/// Which wheel of the mouse turned.
enum MouseWheel : int {
    VERTICAL_WHEEL = 0,   ///< the usual wheel
    HORIZONTAL_WHEEL = 1, ///< a tilting wheel or a touchpad's sideways scroll
};

/// The mouse wheel turned. Its own kind of event, so that objects that follow the
/// pointer's mouse events are not moved by it.
struct EventMouseWheel : Event {
    static constexpr const char* TYPE = "MouseWheelEvent"; ///< the type of mouse wheel events

    /// A wheel turned by delta notches with the pointer at a position in cells.
    EventMouseWheel(MouseWheel wheel_, float delta_, Vector position_)
        : wheel(wheel_), delta(delta_), mousePosition(position_) {
        setType(TYPE);
    }

    /// The wheel that turned.
    [[nodiscard]] MouseWheel getWheel() const { return wheel; }
    /// How far, in notches: positive up (or left), negative down (or right). Fine-grained
    /// wheels and touchpads give fractions.
    [[nodiscard]] float getDelta() const { return delta; }
    /// The pointer, in cells from the window's top-left corner (not shifted by the view).
    [[nodiscard]] Vector getMousePosition() const { return mousePosition; }

    MouseWheel wheel;     ///< VERTICAL_WHEEL or HORIZONTAL_WHEEL
    float delta;          ///< notches, positive up or left
    Vector mousePosition; ///< in cells from the window's top-left corner
};

} // namespace mx
