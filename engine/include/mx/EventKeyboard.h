#pragma once

#include <mx/Event.h>

namespace mx {

namespace Keyboard {

/// The engine's key codes. Keys without a code arrive as UNDEFINED_KEY.
enum Key : int {
    UNDEFINED_KEY = -1,
    SPACE = 0, ENTER, ESCAPE, TAB, LEFT, RIGHT, UP, DOWN, PAUSE,
    SUBTRACT, ADD, GRAVE, PERIOD, COMMA, SLASH, EQUAL, BACKSLASH, MULTIPLY,
    APOSTROPHE, SEMICOLON, LCONTROL, RCONTROL,
    RSHIFT = 23,
    F1, F2, F3, F4, F5, F6, F7, F8, F9, F10, F11, F12,
    A, B, C, D, E, F, G, H, I, J, K, L, M, N, O, P, Q, R, S, T, U, V, W, X, Y, Z,
    NUM1, NUM2, NUM3, NUM4, NUM5, NUM6, NUM7, NUM8, NUM9, NUM0,
    BACKSPACE, LBRACKET, RBRACKET,
};

} // namespace Keyboard

enum KeyboardAction : int {
    KEY_PRESSED = 0,
    KEY_RELEASED = 1,
};

/// A key went down or up.
struct EventKeyboard : Event {
    static constexpr const char* TYPE = "KeyboardEvent"; ///< the type of keyboard events

    /// A key went down (KEY_PRESSED) or up (KEY_RELEASED).
    EventKeyboard(Keyboard::Key key_, KeyboardAction action_) : key(key_), keyboardAction(action_) {
        setType(TYPE);
    }

    /// The key; UNDEFINED_KEY for a key the engine does not name.
    [[nodiscard]] Keyboard::Key getKey() const { return key; }
    /// Whether it went down or up.
    [[nodiscard]] KeyboardAction getKeyboardAction() const { return keyboardAction; }

    Keyboard::Key key;             ///< the key
    KeyboardAction keyboardAction; ///< down or up
};

} // namespace mx
