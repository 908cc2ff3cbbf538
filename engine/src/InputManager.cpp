#include <mx/InputManager.h>

#include <utility>

#include <SFML/Window/Event.hpp>

#include <mx/DisplayManager.h>
#include <mx/EventMouse.h>
#include <mx/GameManager.h>
#include <mx/LogManager.h>

#include "Immortal.h"

namespace mx {

Keyboard::Key translateKey(sf::Keyboard::Key key) {
    using K = sf::Keyboard::Key;
    const int code = static_cast<int>(key);
    if (key >= K::A && key <= K::Z) {
        return static_cast<Keyboard::Key>(code + 36);
    }
    if (key >= K::Num1 && key <= K::Num9) {
        return static_cast<Keyboard::Key>(code + 35);
    }
    if (key >= K::F1 && key <= K::F12) {
        return static_cast<Keyboard::Key>(code - 61);
    }
    switch (key) {
    case K::Num0: return Keyboard::NUM0;
    case K::Space: return Keyboard::SPACE;
    case K::Enter: return Keyboard::ENTER;
    case K::Escape: return Keyboard::ESCAPE;
    case K::Tab: return Keyboard::TAB;
    case K::Left: return Keyboard::LEFT;
    case K::Right: return Keyboard::RIGHT;
    case K::Up: return Keyboard::UP;
    case K::Down: return Keyboard::DOWN;
    case K::Pause: return Keyboard::PAUSE;
    case K::Subtract: return Keyboard::SUBTRACT;
    case K::Add: return Keyboard::ADD;
    case K::Grave: return Keyboard::GRAVE;
    case K::Period: return Keyboard::PERIOD;
    case K::Comma: return Keyboard::COMMA;
    case K::Slash: return Keyboard::SLASH;
    case K::Equal: return Keyboard::EQUAL;
    case K::Backslash: return Keyboard::BACKSLASH;
    case K::Multiply: return Keyboard::MULTIPLY;
    case K::Apostrophe: return Keyboard::APOSTROPHE;
    case K::Semicolon: return Keyboard::SEMICOLON;
    case K::LControl: return Keyboard::LCONTROL;
    case K::RControl: return Keyboard::RCONTROL;
    case K::RShift: return Keyboard::RSHIFT;
    case K::Backspace: return Keyboard::BACKSPACE;
    case K::LBracket: return Keyboard::LBRACKET;
    case K::RBracket: return Keyboard::RBRACKET;
    default: return Keyboard::UNDEFINED_KEY;
    }
}

InputManager& InputManager::getInstance() {
    static Immortal<InputManager> instance;
    return instance.get();
}

int InputManager::startUpImpl() {
    if (!DisplayManager::getInstance().isStarted()) {
        LogManager::getInstance().writeLog("Cannot start input manager until display manager has been started");
        return 1;
    }
    forgetHeld();
    enterReleaseTaken = false;
    return 0;
}

void InputManager::shutDownImpl() {
    forgetHeld();
}

void InputManager::forgetHeld() {
    keys.clear();
    buttons.clear();
    altHeld = false;
}

void InputManager::HeldSet::startFrame() {
    held &= ~releaseNextFrame;
    releaseNextFrame.reset();
    pressedThisFrame.reset();
}

void InputManager::HeldSet::press(int index) {
    if (index >= 0 && static_cast<std::size_t>(index) < SIZE) {
        held.set(static_cast<std::size_t>(index));
        pressedThisFrame.set(static_cast<std::size_t>(index));
    }
}

void InputManager::HeldSet::release(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= SIZE) {
        return;
    }
    const auto i = static_cast<std::size_t>(index);
    // A tap stays held for the frame it came in, so that a step sees it.
    if (pressedThisFrame.test(i)) {
        releaseNextFrame.set(i);
    } else {
        held.reset(i);
    }
}

bool InputManager::HeldSet::isHeld(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < SIZE && held.test(static_cast<std::size_t>(index));
}

void InputManager::HeldSet::clear() {
    held.reset();
    pressedThisFrame.reset();
    releaseNextFrame.reset();
}

bool InputManager::isKeyHeld(Keyboard::Key key) const {
    return keys.isHeld(key);
}

bool InputManager::isMouseButtonHeld(int button) const {
    return buttons.isHeld(button);
}

Vector InputManager::pixelToCells(sf::Vector2i pixel) {
    return DisplayManager::getInstance().windowPixelToCells(pixel);
}

bool InputManager::takeFullscreenKey(sf::Keyboard::Key key, bool pressed, bool altInEvent) {
    using K = sf::Keyboard::Key;
    if (key == K::LAlt || key == K::RAlt) {
        altHeld = pressed;
        return false; // Alt itself still reaches the objects
    }
    if (!pressed) {
        // A release belongs to the engine when its press did.
        return key == K::F11 || (key == K::Enter && std::exchange(enterReleaseTaken, false));
    }
    const bool altEnter = key == K::Enter && (altHeld || altInEvent);
    if (key != K::F11 && !altEnter) {
        if (key == K::Enter) {
            enterReleaseTaken = false; // that release went to the old window
        }
        return false;
    }
    enterReleaseTaken = altEnter;
    // Keys released from here on may go to the old window, which is gone; Alt still
    // held shows in the modifiers of the events to come.
    forgetHeld();
    DisplayManager& display = DisplayManager::getInstance();
    display.setFullscreen(!display.isFullscreen());
    return true;
}

void InputManager::getInput() {
    sf::RenderWindow* window = DisplayManager::getInstance().getWindow();
    if (window == nullptr) {
        return;
    }
    keys.startFrame();
    buttons.startFrame();
    while (const std::optional<sf::Event> event = window->pollEvent()) {
        if (event->is<sf::Event::Closed>()) {
            // The window stays open until the engine shuts down.
            GameManager::getInstance().setGameOver(true);
        } else if (event->is<sf::Event::FocusLost>()) {
            forgetHeld(); // keys let go elsewhere send no release here
        } else if (const auto* pressed = event->getIf<sf::Event::KeyPressed>()) {
            if (!takeFullscreenKey(pressed->code, true, pressed->alt)) {
                const EventKeyboard key(translateKey(pressed->code), KEY_PRESSED);
                keys.press(key.getKey());
                onEvent(&key);
            }
        } else if (const auto* released = event->getIf<sf::Event::KeyReleased>()) {
            if (!takeFullscreenKey(released->code, false, released->alt)) {
                const EventKeyboard key(translateKey(released->code), KEY_RELEASED);
                keys.release(key.getKey());
                onEvent(&key);
            }
        } else if (event->is<sf::Event::Resized>()) {
            DisplayManager::getInstance().fitToWindow();
        } else if (const auto* down = event->getIf<sf::Event::MouseButtonPressed>()) {
            const EventMouse mouse(pixelToCells(down->position), PRESSED, static_cast<int>(down->button));
            buttons.press(mouse.getMouseButton());
            onEvent(&mouse);
        } else if (const auto* up = event->getIf<sf::Event::MouseButtonReleased>()) {
            const EventMouse mouse(pixelToCells(up->position), RELEASED, static_cast<int>(up->button));
            buttons.release(mouse.getMouseButton());
            onEvent(&mouse);
        } else if (const auto* moved = event->getIf<sf::Event::MouseMoved>()) {
            const EventMouse mouse(pixelToCells(moved->position), MOVED, UNDEFINED_MOUSE_BUTTON);
            onEvent(&mouse);
        }
        // Every other kind of window event is ignored.
    }
}

} // namespace mx
