#include <mx/InputManager.h>

#include <array>
#include <fstream>
#include <system_error>
#include <utility>

#include <SFML/Window/Event.hpp>

#include <mx/DisplayManager.h>
#include <mx/EventMouse.h>
#include <mx/GameManager.h>
#include <mx/Hash.h>
#include <mx/LogManager.h>
#include <mx/Version.h>

#include "DataFile.h"
#include "Immortal.h"
#include "InputScript.h"
#include "Platform.h"

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

namespace {

std::uint64_t hashOfWorld() {
    return GameManager::getInstance().getWorldHash();
}

/// Whether an existing regular file is a recording, or empty, so that nothing is lost when a
/// recording replaces it; why not otherwise.
std::optional<std::string> whyNotARecording(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::array<char, 14> start{};
    in.read(start.data(), start.size());
    const auto read = static_cast<std::size_t>(in.gcount());
    if (read == 0 && in.eof()) {
        return std::nullopt; // empty: nothing to lose
    }
    if (std::string_view(start.data(), read) != "moltrix-input ") {
        return "is not a recording: only a recording is replaced by one";
    }
    return std::nullopt;
}

/// The file a link names, so that a recording replaces what it points to, not the link.
std::filesystem::path throughLinks(const std::filesystem::path& file) {
    std::error_code error;
    if (std::filesystem::is_symlink(file, error)) {
        std::filesystem::path target = std::filesystem::canonical(file, error);
        if (!error) {
            return target;
        }
    }
    return file;
}

} // namespace

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
    (void)stopRecording(); // a failure has been logged, and stays in getRecordingError
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
            LogManager& log = LogManager::getInstance();
            log.writeLog(1, "INFO: InputManager::getInput(): The replay of '%s' ends after %u frames",
                         replay->getName().c_str(), static_cast<unsigned>(replay->getFrame()));
            if (replay->getScript().cutAtLine) {
                log.writeLog("WARNING: InputManager::getInput(): The replay of '%s' ends at its cut, after %u frames: "
                             "the rest of the session was not written", replay->getName().c_str(),
                             static_cast<unsigned>(replay->getFrame()));
            }
        }
    }
}

void InputManager::deliver(const InputRecord& record) {
    if (recorder && !recorder->add(record)) {
        LogManager::getInstance().writeLog("WARNING: InputManager::getInput(): The recording '%s' ends here: a file "
                                           "holds at most %llu events", recorder->getPath().string().c_str(),
                                           static_cast<unsigned long long>(MAX_INPUT_EVENTS));
        (void)stopRecording();
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

std::optional<std::string> InputManager::whyNotRecordingTarget(const std::filesystem::path& given) const {
    namespace fs = std::filesystem;
    if (given.empty()) {
        return "is an empty name";
    }
    const fs::path file = throughLinks(given);
    std::error_code error;
    if (fs::exists(fs::status(file, error))) {
        if (auto why = whyNotDataFile(file)) {
            return why;
        }
        if (!replayFile.empty() && fs::equivalent(file, replayFile, error)) {
            return "is the file being replayed";
        }
        if (auto why = whyNotARecording(file)) {
            return why;
        }
    }
    const fs::path partial = partialRecordingPath(file);
    if (fs::exists(fs::symlink_status(partial, error))) {
        return "is being recorded already: '" + partial.string() + "' exists (another session's recording, or one "
               "that was cut short: replay it, move it or delete it)";
    }
    // Made and removed at once: the surest test that the folder takes the file.
    platform::NewFile probe;
    std::string why;
    if (!probe.create(partial, why)) {
        return "cannot be written: " + why;
    }
    (void)probe.close(why);
    fs::remove(partial, error);
    return std::nullopt;
}

int InputManager::startRecording(const std::filesystem::path& given, std::uint32_t seed) {
    LogManager& log = LogManager::getInstance();
    (void)stopRecording();
    recordingError.clear();
    if (auto why = whyNotRecordingTarget(given)) {
        log.writeLog("ERROR: InputManager::startRecording(): Cannot write '%s': it %s", given.string().c_str(),
                     why->c_str());
        return -1;
    }
    auto started = std::make_unique<InputRecorder>(throughLinks(given), seed);
    if (!started->isOpen()) {
        log.writeLog("ERROR: InputManager::startRecording(): Cannot write '%s': %s",
                     started->getPartialPath().string().c_str(), started->getError().c_str());
        return -1;
    }
    log.writeLog("INFO: InputManager::startRecording(): Recording into '%s', which becomes '%s' when the recording "
                 "ends", started->getPartialPath().string().c_str(), started->getPath().string().c_str());
    recorder = std::move(started);
    return 0;
}

int InputManager::stopRecording() {
    if (!recorder) {
        return recordingError.empty() ? 0 : -1;
    }
    const std::unique_ptr<InputRecorder> finished = std::move(recorder);
    // Between frames the world stands as the last frame left it: its hash is the last checkpoint.
    const std::optional<std::uint64_t> last =
        finished->isInFrame() ? std::nullopt : std::optional<std::uint64_t>(hashOfWorld());
    if (!finished->finish(last)) {
        recordingError = finished->getError();
        LogManager::getInstance().writeLog("ERROR: InputManager::stopRecording(): Failed to write '%s': %s; '%s' is "
                                           "left as it was", finished->getPartialPath().string().c_str(),
                                           recordingError.c_str(), finished->getPath().string().c_str());
        return -1;
    }
    return 0;
}

void InputManager::abandonRecording() {
    const std::unique_ptr<InputRecorder> failed = std::move(recorder);
    recordingError = failed->getError();
    LogManager::getInstance().writeLog("ERROR: InputManager::endFrame(): Cannot write the recording '%s': %s. It "
                                       "stops here; '%s' is left as it was, and '%s' keeps what was written",
                                       failed->getPartialPath().string().c_str(), recordingError.c_str(),
                                       failed->getPath().string().c_str(), failed->getPartialPath().string().c_str());
}

void InputManager::endFrame() {
    if (recorder) {
        recorder->endFrame(hashOfWorld);
        if (recorder->hasFailed()) {
            abandonRecording();
        }
    }
    if (replay && !mismatch) {
        checkReplay();
    }
}

void InputManager::checkReplay() {
    const std::optional<Checkpoint> checkpoint = replay->checkpointOfFrame();
    if (!checkpoint) {
        return;
    }
    const std::uint64_t hash = hashOfWorld();
    if (hash == checkpoint->hash) {
        return;
    }
    mismatch = ReplayMismatch{checkpoint->frame, checkpoint->hash, hash};
    LogManager::getInstance().writeLog("ERROR: InputManager::endFrame(): The replay of '%s' differs from its "
                                       "recording at frame %u: world hash %s, recorded %s. It stops there",
                                       replay->getName().c_str(), static_cast<unsigned>(checkpoint->frame),
                                       Hash::toText(hash).c_str(), Hash::toText(checkpoint->hash).c_str());
    replay->stop();
    GameManager::getInstance().setGameOver(true);
}

int InputManager::startReplay(const std::filesystem::path& file) {
    // Checked first: a folder or a FIFO must not reach the reader, which could throw or wait for ever.
    std::optional<std::string> why = whyNotDataFile(file);
    std::ifstream in;
    if (!why) {
        in.open(file, std::ios::binary);
        if (!in.is_open()) {
            why = "cannot be read";
        }
    }
    if (why) {
        LogManager::getInstance().writeLog("ERROR: InputManager::startReplay(): Cannot open '%s': it %s",
                                           file.string().c_str(), why->c_str());
        return -1;
    }
    if (startReplayFromStream(in, file.string()) != 0) {
        return -1;
    }
    replayFile = file;
    return 0;
}

int InputManager::startReplayFromStream(std::istream& in, const std::string& name) {
    LogManager& log = LogManager::getInstance();
    InputScript script;
    if (const auto error = readInputScript(in, script)) {
        const std::string where = error->line > 0 ? ", line " + std::to_string(error->line) : "";
        log.writeLog("ERROR: InputManager::startReplay(): Refused '%s'%s: %s", name.c_str(), where.c_str(),
                     error->reason.c_str());
        return -1;
    }
    if (script.engineVersion != engineVersion()) {
        log.writeLog("WARNING: InputManager::startReplay(): '%s' was recorded with engine %s, this is %s: the replay "
                     "may differ", name.c_str(), script.engineVersion.c_str(), engineVersion());
    }
    if (script.cutAtLine) {
        log.writeLog("WARNING: InputManager::startReplay(): '%s' was cut short at line %llu, before its 'end' line: it "
                     "replays to its last checkpoint, frame %u", name.c_str(),
                     static_cast<unsigned long long>(*script.cutAtLine), static_cast<unsigned>(script.frameCount - 1));
    }
    GameManager::getInstance().getRandom().setSeed(script.seed); // the same numbers as when it was recorded
    replay = std::make_unique<InputReplay>(std::move(script), name);
    replayFile.clear();
    mismatch.reset();
    return 0;
}

void InputManager::stopReplay() {
    replay.reset();
    replayFile.clear();
}

bool InputManager::isReplayCutShort() const {
    return replay && replay->getScript().cutAtLine.has_value();
}

std::uint32_t InputManager::getReplaySeed() const {
    return replay ? replay->getScript().seed : 0;
}

std::uint32_t InputManager::getReplayFrameCount() const {
    return replay ? replay->getScript().frameCount : 0;
}

} // namespace mx
