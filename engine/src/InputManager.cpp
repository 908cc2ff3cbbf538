#include <mx/InputManager.h>

#include <array>
#include <fstream>
#include <system_error>
#include <utility>

#include <algorithm>
#include <cmath>

#include <SFML/Window/Event.hpp>
#include <SFML/Window/Joystick.hpp>

#include <mx/DisplayManager.h>
#include <mx/EventMouse.h>
#include <mx/EventMouseWheel.h>
#include <mx/EventText.h>
#include <mx/GameManager.h>
#include <mx/Hash.h>
#include <mx/LogManager.h>
#include <mx/Version.h>

#include "DataFile.h"
#include "Immortal.h"
#include "InputScript.h"
#include "Platform.h"

namespace mx {

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
    joystickButtons.clear();
    joysticks = {};
    injected.clear();
    joysticksToSync = true;
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

namespace {

/// Whether a joystick number is one the engine tells apart.
bool isJoystick(int joystick) {
    return joystick >= 0 && joystick < Joystick::COUNT;
}

/// The held set's index of a joystick's button; -1 when there is no such button.
int joystickButtonIndex(int joystick, int button) {
    return isJoystick(joystick) && button >= 0 && button < Joystick::BUTTON_COUNT ? joystick * Joystick::BUTTON_COUNT + button
                                                                                   : -1;
}

} // namespace

template <std::size_t SIZE>
void InputManager::HeldSet<SIZE>::startFrame() {
    held &= ~releaseNextFrame;
    releaseNextFrame.reset();
    pressedThisFrame.reset();
}

template <std::size_t SIZE>
void InputManager::HeldSet<SIZE>::press(int index) {
    if (index >= 0 && static_cast<std::size_t>(index) < SIZE) {
        held.set(static_cast<std::size_t>(index));
        pressedThisFrame.set(static_cast<std::size_t>(index));
    }
}

template <std::size_t SIZE>
void InputManager::HeldSet<SIZE>::release(int index) {
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

template <std::size_t SIZE>
bool InputManager::HeldSet<SIZE>::isHeld(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < SIZE && held.test(static_cast<std::size_t>(index));
}

template <std::size_t SIZE>
void InputManager::HeldSet<SIZE>::forget(int index) {
    if (index >= 0 && static_cast<std::size_t>(index) < SIZE) {
        held.reset(static_cast<std::size_t>(index));
        pressedThisFrame.reset(static_cast<std::size_t>(index));
        releaseNextFrame.reset(static_cast<std::size_t>(index));
    }
}

template <std::size_t SIZE>
void InputManager::HeldSet<SIZE>::clear() {
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

bool InputManager::isJoystickConnected(int joystick) const {
    return isJoystick(joystick) && joysticks[static_cast<std::size_t>(joystick)].connected;
}

bool InputManager::isJoystickButtonHeld(int joystick, int button) const {
    return joystickButtons.isHeld(joystickButtonIndex(joystick, button));
}

float InputManager::getJoystickAxis(int joystick, Joystick::Axis axis) const {
    if (!isJoystick(joystick) || axis < 0 || axis >= Joystick::AXIS_COUNT) {
        return 0.0f;
    }
    return joysticks[static_cast<std::size_t>(joystick)].axes[static_cast<std::size_t>(axis)];
}

void InputManager::setJoystickThreshold(float threshold) {
    joystickThreshold = std::isfinite(threshold) ? std::clamp(threshold, 0.0f, 100.0f) : 0.1f;
    if (sf::RenderWindow* window = DisplayManager::getInstance().getWindow()) {
        window->setJoystickThreshold(joystickThreshold);
    }
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
    joysticksToSync = true; // the new window tells joystick changes from now on
    return true;
}

void InputManager::getInput() {
    keys.startFrame();
    buttons.startFrame();
    joystickButtons.startFrame();
    if (recorder) {
        recorder->startFrame();
    }
    pollWindow(replay == nullptr);
    if (replay) {
        replayFrame();
    }
}

void InputManager::pollWindow(bool gameInput) {
    if (sf::RenderWindow* window = DisplayManager::getInstance().getWindow()) {
        if (joysticksToSync && gameInput) {
            window->setJoystickThreshold(joystickThreshold);
            syncJoysticks(liveJoysticks());
        }
        joysticksToSync = false;
        while (const std::optional<sf::Event> event = window->pollEvent()) {
            handleWindowEvent(*event, gameInput);
        }
    }
    if (!injected.empty()) {
        const std::vector<sf::Event> events = std::exchange(injected, {});
        for (const sf::Event& event : events) {
            handleWindowEvent(event, gameInput);
        }
    }
}

void InputManager::handleWindowEvent(const sf::Event& event, bool gameInput) {
    if (event.is<sf::Event::Closed>()) {
        if (gameInput) {
            deliver(InputRecord::of(InputRecord::Kind::CLOSE));
        } else {
            GameManager::getInstance().setGameOver(true);
            LogManager::getInstance().writeLog("INFO: InputManager::getInput(): Window closed: the replay stops");
        }
    } else if (event.is<sf::Event::FocusLost>()) {
        altHeld = false;
        if (gameInput) {
            deliver(InputRecord::of(InputRecord::Kind::FORGET_HELD)); // keys let go elsewhere send no release here
        }
    } else if (const auto* pressed = event.getIf<sf::Event::KeyPressed>()) {
        if (!takeFullscreenKey(pressed->code, true, pressed->alt) && gameInput) {
            deliver(InputRecord::key(KEY_PRESSED, translateKey(pressed->code)));
        }
    } else if (const auto* released = event.getIf<sf::Event::KeyReleased>()) {
        if (!takeFullscreenKey(released->code, false, released->alt) && gameInput) {
            deliver(InputRecord::key(KEY_RELEASED, translateKey(released->code)));
        }
    } else if (event.is<sf::Event::Resized>()) {
        DisplayManager::getInstance().fitToWindow();
    } else if (!gameInput) {
        return; // the replay gives the game's input
    } else if (const auto* down = event.getIf<sf::Event::MouseButtonPressed>()) {
        deliver(InputRecord::mouse(PRESSED, static_cast<int>(down->button), pixelToCells(down->position)));
    } else if (const auto* up = event.getIf<sf::Event::MouseButtonReleased>()) {
        deliver(InputRecord::mouse(RELEASED, static_cast<int>(up->button), pixelToCells(up->position)));
    } else if (const auto* moved = event.getIf<sf::Event::MouseMoved>()) {
        deliver(InputRecord::mouse(MOVED, UNDEFINED_MOUSE_BUTTON, pixelToCells(moved->position)));
    } else if (const auto* typed = event.getIf<sf::Event::TextEntered>()) {
        // Only characters: a number that is none would not read back from a recording.
        if (typed->unicode <= 0x10FFFF && (typed->unicode < 0xD800 || typed->unicode > 0xDFFF)) {
            deliver(InputRecord::text(typed->unicode));
        }
    } else if (const auto* wheel = event.getIf<sf::Event::MouseWheelScrolled>()) {
        if (std::isfinite(wheel->delta)) {
            deliver(InputRecord::wheel(static_cast<int>(wheel->wheel), wheel->delta, pixelToCells(wheel->position)));
        }
    } else {
        (void)handleJoystickEvent(event);
    }
    // Every other kind of window event is ignored.
}

bool InputManager::handleJoystickEvent(const sf::Event& event) {
    if (const auto* down = event.getIf<sf::Event::JoystickButtonPressed>()) {
        if (joystickButtonIndex(static_cast<int>(down->joystickId), static_cast<int>(down->button)) >= 0) {
            deliver(InputRecord::joystick(JOYSTICK_PRESSED, static_cast<int>(down->joystickId), static_cast<int>(down->button)));
        }
    } else if (const auto* up = event.getIf<sf::Event::JoystickButtonReleased>()) {
        if (joystickButtonIndex(static_cast<int>(up->joystickId), static_cast<int>(up->button)) >= 0) {
            deliver(InputRecord::joystick(JOYSTICK_RELEASED, static_cast<int>(up->joystickId), static_cast<int>(up->button)));
        }
    } else if (const auto* moved = event.getIf<sf::Event::JoystickMoved>()) {
        const int axis = static_cast<int>(moved->axis);
        if (isJoystick(static_cast<int>(moved->joystickId)) && axis >= 0 && axis < Joystick::AXIS_COUNT &&
            std::isfinite(moved->position)) {
            deliver(InputRecord::joystick(JOYSTICK_MOVED, static_cast<int>(moved->joystickId), axis,
                                          std::clamp(moved->position, -100.0f, 100.0f)));
        }
    } else if (const auto* connected = event.getIf<sf::Event::JoystickConnected>()) {
        if (isJoystick(static_cast<int>(connected->joystickId))) {
            deliver(InputRecord::joystick(JOYSTICK_CONNECTED, static_cast<int>(connected->joystickId), -1));
        }
    } else if (const auto* disconnected = event.getIf<sf::Event::JoystickDisconnected>()) {
        if (isJoystick(static_cast<int>(disconnected->joystickId))) {
            deliver(InputRecord::joystick(JOYSTICK_DISCONNECTED, static_cast<int>(disconnected->joystickId), -1));
        }
    } else {
        return false;
    }
    return true;
}

std::array<JoystickState, Joystick::COUNT> InputManager::liveJoysticks() {
    std::array<JoystickState, Joystick::COUNT> live;
    sf::Joystick::update();
    for (unsigned id = 0; id < static_cast<unsigned>(Joystick::COUNT); ++id) {
        JoystickState& state = live[id];
        state.connected = sf::Joystick::isConnected(id);
        if (!state.connected) {
            continue;
        }
        for (int axis = 0; axis < Joystick::AXIS_COUNT; ++axis) {
            state.axes[static_cast<std::size_t>(axis)] = sf::Joystick::getAxisPosition(id, static_cast<sf::Joystick::Axis>(axis));
        }
        for (unsigned button = 0; button < static_cast<unsigned>(Joystick::BUTTON_COUNT); ++button) {
            state.buttons[button] = sf::Joystick::isButtonPressed(id, button);
        }
    }
    return live;
}

void InputManager::syncJoysticks(const std::array<JoystickState, Joystick::COUNT>& live) {
    for (int id = 0; id < Joystick::COUNT; ++id) {
        const JoystickState& now = live[static_cast<std::size_t>(id)];
        if (now.connected != isJoystickConnected(id)) {
            deliver(InputRecord::joystick(now.connected ? JOYSTICK_CONNECTED : JOYSTICK_DISCONNECTED, id, -1));
        }
        if (!now.connected) {
            continue;
        }
        // As SFML tells a joystick just plugged in: axes away from where they were, buttons down.
        for (int axis = 0; axis < Joystick::AXIS_COUNT; ++axis) {
            const float position = now.axes[static_cast<std::size_t>(axis)];
            const float known = getJoystickAxis(id, static_cast<Joystick::Axis>(axis));
            if (std::isfinite(position) && position != known && std::abs(position - known) >= joystickThreshold) {
                deliver(InputRecord::joystick(JOYSTICK_MOVED, id, axis, std::clamp(position, -100.0f, 100.0f)));
            }
        }
        for (int button = 0; button < Joystick::BUTTON_COUNT; ++button) {
            const bool down = now.buttons.test(static_cast<std::size_t>(button));
            if (down != isJoystickButtonHeld(id, button)) {
                deliver(InputRecord::joystick(down ? JOYSTICK_PRESSED : JOYSTICK_RELEASED, id, button));
            }
        }
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
    case InputRecord::Kind::TEXT: {
        const EventText text(record.character);
        onEvent(&text);
        break;
    }
    case InputRecord::Kind::WHEEL: {
        const EventMouseWheel wheel(static_cast<MouseWheel>(record.action), record.amount, record.position);
        onEvent(&wheel);
        break;
    }
    case InputRecord::Kind::JOYSTICK:
        deliverJoystick(record);
        break;
    }
}

void InputManager::deliverJoystick(const InputRecord& record) {
    const int id = record.device;
    JoystickState& state = joysticks[static_cast<std::size_t>(id)];
    const auto action = static_cast<JoystickAction>(record.action);
    switch (action) {
    case JOYSTICK_PRESSED: joystickButtons.press(joystickButtonIndex(id, record.code)); break;
    case JOYSTICK_RELEASED: joystickButtons.release(joystickButtonIndex(id, record.code)); break;
    case JOYSTICK_MOVED: state.axes[static_cast<std::size_t>(record.code)] = record.amount; break;
    case JOYSTICK_CONNECTED: state.connected = true; break;
    case JOYSTICK_DISCONNECTED:
        // An unplugged joystick sends no releases: nothing of it stays held.
        state = JoystickState{};
        for (int button = 0; button < Joystick::BUTTON_COUNT; ++button) {
            joystickButtons.forget(joystickButtonIndex(id, button));
        }
        break;
    }
    const bool isButton = action == JOYSTICK_PRESSED || action == JOYSTICK_RELEASED;
    const EventJoystick event(id, action, isButton ? record.code : -1,
                              action == JOYSTICK_MOVED ? static_cast<Joystick::Axis>(record.code) : Joystick::UNDEFINED_AXIS,
                              action == JOYSTICK_MOVED ? record.amount : 0.0f);
    onEvent(&event);
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
