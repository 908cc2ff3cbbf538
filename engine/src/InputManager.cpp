#include <mx/InputManager.h>

#include <fstream>
#include <utility>

#include <SFML/Window/Event.hpp>

#include <mx/DisplayManager.h>
#include <mx/EventMouse.h>
#include <mx/GameManager.h>
#include <mx/LogManager.h>
#include <mx/Version.h>

#include "Immortal.h"
#include "InputScript.h"

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

InputManager::InputManager() {
    setType(TYPE);
}

InputManager::~InputManager() = default;

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
    stopRecording();
    stopReplay();
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
    altHeld = false;
    if (!replay) {
        deliver(InputRecord::of(InputRecord::Kind::FORGET_HELD));
    }
    DisplayManager& display = DisplayManager::getInstance();
    display.setFullscreen(!display.isFullscreen());
    return true;
}

void InputManager::getInput() {
    keys.startFrame();
    buttons.startFrame();
    if (recorder) {
        recorder->startFrame();
    }
    pollWindow(replay == nullptr);
    if (replay) {
        replayFrame();
    }
}

void InputManager::pollWindow(bool gameInput) {
    sf::RenderWindow* window = DisplayManager::getInstance().getWindow();
    if (window == nullptr) {
        return;
    }
    while (const std::optional<sf::Event> event = window->pollEvent()) {
        if (event->is<sf::Event::Closed>()) {
            if (gameInput) {
                deliver(InputRecord::of(InputRecord::Kind::CLOSE));
            } else {
                GameManager::getInstance().setGameOver(true);
                LogManager::getInstance().writeLog("INFO: InputManager::getInput(): Window closed: the replay stops");
            }
        } else if (event->is<sf::Event::FocusLost>()) {
            altHeld = false;
            if (gameInput) {
                deliver(InputRecord::of(InputRecord::Kind::FORGET_HELD)); // keys let go elsewhere send no release here
            }
        } else if (const auto* pressed = event->getIf<sf::Event::KeyPressed>()) {
            if (!takeFullscreenKey(pressed->code, true, pressed->alt) && gameInput) {
                deliver(InputRecord::key(KEY_PRESSED, translateKey(pressed->code)));
            }
        } else if (const auto* released = event->getIf<sf::Event::KeyReleased>()) {
            if (!takeFullscreenKey(released->code, false, released->alt) && gameInput) {
                deliver(InputRecord::key(KEY_RELEASED, translateKey(released->code)));
            }
        } else if (event->is<sf::Event::Resized>()) {
            DisplayManager::getInstance().fitToWindow();
        } else if (!gameInput) {
            continue; // the replay gives the keys and the mouse
        } else if (const auto* down = event->getIf<sf::Event::MouseButtonPressed>()) {
            deliver(InputRecord::mouse(PRESSED, static_cast<int>(down->button), pixelToCells(down->position)));
        } else if (const auto* up = event->getIf<sf::Event::MouseButtonReleased>()) {
            deliver(InputRecord::mouse(RELEASED, static_cast<int>(up->button), pixelToCells(up->position)));
        } else if (const auto* moved = event->getIf<sf::Event::MouseMoved>()) {
            deliver(InputRecord::mouse(MOVED, UNDEFINED_MOUSE_BUTTON, pixelToCells(moved->position)));
        }
        // Every other kind of window event is ignored.
    }
}

void InputManager::replayFrame() {
    const bool wasOver = replay->isOver();
    // A copy: a handler may stop the replay while its records are handed out.
    const std::span<const InputRecord> frame = replay->nextFrame();
    const std::vector<InputRecord> records(frame.begin(), frame.end());
    for (const InputRecord& record : records) {
        deliver(record);
    }
    if (replay && replay->isOver()) {
        GameManager::getInstance().setGameOver(true);
        if (!wasOver) {
            LogManager::getInstance().writeLog(1, "INFO: InputManager::getInput(): The replay of '%s' ends after %u frames",
                                               replay->getName().c_str(), static_cast<unsigned>(replay->getFrame()));
        }
    }
}

void InputManager::deliver(const InputRecord& record) {
    if (recorder && !recorder->add(record)) {
        LogManager::getInstance().writeLog("WARNING: InputManager::getInput(): The recording '%s' ends here: a file "
                                           "holds at most %llu events", recorder->getPath().string().c_str(),
                                           static_cast<unsigned long long>(MAX_INPUT_EVENTS));
        stopRecording();
    }
    switch (record.kind) {
    case InputRecord::Kind::KEY: {
        const EventKeyboard key(static_cast<Keyboard::Key>(record.code), static_cast<KeyboardAction>(record.action));
        if (record.action == KEY_PRESSED) {
            keys.press(record.code);
        } else {
            keys.release(record.code);
        }
        onEvent(&key);
        break;
    }
    case InputRecord::Kind::MOUSE: {
        const EventMouse mouse(record.position, static_cast<MouseAction>(record.action), record.code);
        if (record.action == PRESSED) {
            buttons.press(record.code);
        } else if (record.action == RELEASED) {
            buttons.release(record.code);
        }
        onEvent(&mouse);
        break;
    }
    case InputRecord::Kind::CLOSE:
        // The window stays open until the engine shuts down.
        GameManager::getInstance().setGameOver(true);
        break;
    case InputRecord::Kind::FORGET_HELD:
        keys.clear();
        buttons.clear();
        break;
    }
}

int InputManager::startRecording(const std::filesystem::path& file, std::uint32_t seed) {
    stopRecording();
    auto started = std::make_unique<InputRecorder>(file, seed);
    if (!started->isOpen()) {
        LogManager::getInstance().writeLog("ERROR: InputManager::startRecording(): Cannot write '%s'", file.string().c_str());
        return -1;
    }
    recorder = std::move(started);
    return 0;
}

void InputManager::stopRecording() {
    if (!recorder) {
        return;
    }
    const std::unique_ptr<InputRecorder> finished = std::move(recorder);
    if (!finished->finish()) {
        LogManager::getInstance().writeLog("ERROR: InputManager::stopRecording(): Failed to write '%s'",
                                           finished->getPath().string().c_str());
    }
}

int InputManager::startReplay(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in.is_open()) {
        LogManager::getInstance().writeLog("ERROR: InputManager::startReplay(): Cannot open '%s'", file.string().c_str());
        return -1;
    }
    return startReplayFromStream(in, file.string());
}

int InputManager::startReplayFromStream(std::istream& in, const std::string& name) {
    LogManager& log = LogManager::getInstance();
    InputScript script;
    if (const auto error = readInputScript(in, script)) {
        log.writeLog("ERROR: InputManager::startReplay(): Refused '%s', line %llu: %s", name.c_str(),
                     static_cast<unsigned long long>(error->line),
                     error->reason.c_str());
        return -1;
    }
    if (script.engineVersion != engineVersion()) {
        log.writeLog("WARNING: InputManager::startReplay(): '%s' was recorded with engine %s, this is %s: the replay "
                     "may differ", name.c_str(), script.engineVersion.c_str(), engineVersion());
    }
    replay = std::make_unique<InputReplay>(std::move(script), name);
    return 0;
}

void InputManager::stopReplay() {
    replay.reset();
}

std::uint32_t InputManager::getReplaySeed() const {
    return replay ? replay->getScript().seed : 0;
}

std::uint32_t InputManager::getReplayFrameCount() const {
    return replay ? replay->getScript().frameCount : 0;
}

} // namespace mx
