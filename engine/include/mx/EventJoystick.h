#pragma once

#include <mx/Event.h>

namespace mx {

namespace Joystick {

/// The most joysticks (gamepads) the engine tells apart, numbered 0 to COUNT - 1.
inline constexpr int COUNT = 8;
/// The most buttons of one joystick, numbered 0 to BUTTON_COUNT - 1.
inline constexpr int BUTTON_COUNT = 32;
/// The axes of one joystick.
inline constexpr int AXIS_COUNT = 8;

/// A joystick's axes, as SFML numbers them. A gamepad's left stick is usually X and Y, its
/// right stick U and V (or Z and R), its cross of arrow buttons POV_X and POV_Y.
enum Axis : int {
    UNDEFINED_AXIS = -1, ///< the axis of an event that moves none
    X = 0,  ///< the X axis, usually the left stick across
    Y,      ///< the Y axis, usually the left stick down
    Z,      ///< the Z axis
    R,      ///< the R axis
    U,      ///< the U axis
    V,      ///< the V axis
    POV_X,  ///< the point-of-view hat (arrow cross) across
    POV_Y,  ///< the point-of-view hat (arrow cross) down
};

} // namespace Joystick

/// What happened to a joystick.
enum JoystickAction : int {
    JOYSTICK_PRESSED = 0,      ///< a button went down
    JOYSTICK_RELEASED = 1,     ///< a button went up
    JOYSTICK_MOVED = 2,        ///< an axis moved
    JOYSTICK_CONNECTED = 3,    ///< the joystick was plugged in (or found at start-up)
    JOYSTICK_DISCONNECTED = 4, ///< the joystick was unplugged
};

/// A joystick or gamepad: a button went down or up, an axis moved, or the joystick was
/// connected or disconnected.
struct EventJoystick : Event {
    static constexpr const char* TYPE = "JoystickEvent"; ///< the type of joystick events

    /// What happened to which joystick; the button of a press or release (else -1), the
    /// axis and its new position of a move (else UNDEFINED_AXIS and 0).
    EventJoystick(int joystick_, JoystickAction action_, int button_ = -1,
                  Joystick::Axis axis_ = Joystick::UNDEFINED_AXIS, float position_ = 0.0f)
        : joystick(joystick_), joystickAction(action_), button(button_), axis(axis_), position(position_) {
        setType(TYPE);
    }

    /// The joystick, 0 to Joystick::COUNT - 1.
    [[nodiscard]] int getJoystick() const { return joystick; }
    /// What happened.
    [[nodiscard]] JoystickAction getJoystickAction() const { return joystickAction; }
    /// The button pressed or released, 0 to Joystick::BUTTON_COUNT - 1; -1 for other actions.
    [[nodiscard]] int getButton() const { return button; }
    /// The axis moved; Joystick::UNDEFINED_AXIS for other actions.
    [[nodiscard]] Joystick::Axis getAxis() const { return axis; }
    /// The axis's new position, -100 to 100 (0 at rest for a stick); 0 for other actions.
    [[nodiscard]] float getPosition() const { return position; }

    int joystick;                  ///< the joystick
    JoystickAction joystickAction; ///< what happened
    int button;                    ///< the button, or -1
    Joystick::Axis axis;           ///< the axis, or UNDEFINED_AXIS
    float position;                ///< the axis's position, -100 to 100
};

} // namespace mx
