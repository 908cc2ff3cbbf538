#pragma once

#include <optional>
#include <string_view>

#include <mx/Event.h>

/// The one table of the engine's keys: for each, its name (the enumerator of Keyboard::Key,
/// and its word in input files), its engine code, and the sf::Keyboard::Key that makes it.
/// Every SFML key has a code; 0 to 74 are those of the first engine, the rest follow in
/// SFML's order. The Delete key is DEL, as windows.h takes DELETE for a macro. KEY is a
/// macro of three arguments that each row is handed to.
#define MX_KEY_TABLE(KEY)                                                                                      \
    KEY(SPACE, 0, Space) KEY(ENTER, 1, Enter) KEY(ESCAPE, 2, Escape) KEY(TAB, 3, Tab) KEY(LEFT, 4, Left)       \
    KEY(RIGHT, 5, Right) KEY(UP, 6, Up) KEY(DOWN, 7, Down) KEY(PAUSE, 8, Pause) KEY(SUBTRACT, 9, Subtract)    \
    KEY(ADD, 10, Add) KEY(GRAVE, 11, Grave) KEY(PERIOD, 12, Period) KEY(COMMA, 13, Comma)                     \
    KEY(SLASH, 14, Slash) KEY(EQUAL, 15, Equal) KEY(BACKSLASH, 16, Backslash) KEY(MULTIPLY, 17, Multiply)     \
    KEY(APOSTROPHE, 18, Apostrophe) KEY(SEMICOLON, 19, Semicolon) KEY(LCONTROL, 20, LControl)                 \
    KEY(RCONTROL, 21, RControl) KEY(LSHIFT, 22, LShift) KEY(RSHIFT, 23, RShift)                               \
    KEY(F1, 24, F1) KEY(F2, 25, F2) KEY(F3, 26, F3) KEY(F4, 27, F4) KEY(F5, 28, F5) KEY(F6, 29, F6)           \
    KEY(F7, 30, F7) KEY(F8, 31, F8) KEY(F9, 32, F9) KEY(F10, 33, F10) KEY(F11, 34, F11) KEY(F12, 35, F12)     \
    KEY(A, 36, A) KEY(B, 37, B) KEY(C, 38, C) KEY(D, 39, D) KEY(E, 40, E) KEY(F, 41, F) KEY(G, 42, G)         \
    KEY(H, 43, H) KEY(I, 44, I) KEY(J, 45, J) KEY(K, 46, K) KEY(L, 47, L) KEY(M, 48, M) KEY(N, 49, N)         \
    KEY(O, 50, O) KEY(P, 51, P) KEY(Q, 52, Q) KEY(R, 53, R) KEY(S, 54, S) KEY(T, 55, T) KEY(U, 56, U)         \
    KEY(V, 57, V) KEY(W, 58, W) KEY(X, 59, X) KEY(Y, 60, Y) KEY(Z, 61, Z)                                     \
    KEY(NUM1, 62, Num1) KEY(NUM2, 63, Num2) KEY(NUM3, 64, Num3) KEY(NUM4, 65, Num4) KEY(NUM5, 66, Num5)       \
    KEY(NUM6, 67, Num6) KEY(NUM7, 68, Num7) KEY(NUM8, 69, Num8) KEY(NUM9, 70, Num9) KEY(NUM0, 71, Num0)       \
    KEY(BACKSPACE, 72, Backspace) KEY(LBRACKET, 73, LBracket) KEY(RBRACKET, 74, RBracket)                     \
    KEY(LALT, 75, LAlt) KEY(RALT, 76, RAlt) KEY(LSYSTEM, 77, LSystem) KEY(RSYSTEM, 78, RSystem)               \
    KEY(MENU, 79, Menu) KEY(HYPHEN, 80, Hyphen) KEY(PAGEUP, 81, PageUp) KEY(PAGEDOWN, 82, PageDown)           \
    KEY(END, 83, End) KEY(HOME, 84, Home) KEY(INSERT, 85, Insert) KEY(DEL, 86, Delete)                        \
    KEY(DIVIDE, 87, Divide) KEY(NUMPAD0, 88, Numpad0) KEY(NUMPAD1, 89, Numpad1) KEY(NUMPAD2, 90, Numpad2)     \
    KEY(NUMPAD3, 91, Numpad3) KEY(NUMPAD4, 92, Numpad4) KEY(NUMPAD5, 93, Numpad5) KEY(NUMPAD6, 94, Numpad6)   \
    KEY(NUMPAD7, 95, Numpad7) KEY(NUMPAD8, 96, Numpad8) KEY(NUMPAD9, 97, Numpad9)                             \
    KEY(F13, 98, F13) KEY(F14, 99, F14) KEY(F15, 100, F15)

namespace mx {

namespace Keyboard {

/// The engine's key codes, one for every key SFML knows (MX_KEY_TABLE). A key SFML cannot
/// tell arrives as UNDEFINED_KEY.
enum Key : int {
    UNDEFINED_KEY = -1,
#define MX_KEY_ENUMERATOR(name, code, sfml) name = code,
    MX_KEY_TABLE(MX_KEY_ENUMERATOR)
#undef MX_KEY_ENUMERATOR
};

/// One more than the highest key code: codes run from 0 to KEY_COUNT - 1.
inline constexpr int KEY_COUNT = F15 + 1;

/// A key's name as the enumerator spells it ("LSHIFT", "DEL"), "UNDEFINED" for
/// UNDEFINED_KEY, and an empty name for a number that is no key.
[[nodiscard]] const char* getName(Key key);

/// The key of a name as getName gives it (UNDEFINED_KEY for "UNDEFINED"); nothing for a
/// word that names no key. Names are matched exactly, in upper case.
[[nodiscard]] std::optional<Key> fromName(std::string_view name);

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
