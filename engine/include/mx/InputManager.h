#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <array>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <SFML/System/Vector2.hpp>
#include <SFML/Window/Event.hpp>
#include <SFML/Window/Keyboard.hpp>

#include <mx/EventJoystick.h>
#include <mx/EventKeyboard.h>
#include <mx/Manager.h>
#include <mx/Vector.h>

namespace mx {

class InputRecorder;
class InputReplay;
struct InputRecord;

/// The engine key code of an SFML key (MX_KEY_TABLE); UNDEFINED_KEY for SFML's unknown key.
[[nodiscard]] Keyboard::Key translateKey(sf::Keyboard::Key key);

/// What the engine knows of one joystick: whether it is connected, where its axes stand and
/// which buttons are down.
struct JoystickState {
    bool connected = false;                          ///< plugged in
    std::array<float, Joystick::AXIS_COUNT> axes{}; ///< each axis, -100 to 100, by Joystick::Axis
    std::bitset<Joystick::BUTTON_COUNT> buttons;     ///< the buttons held down
};

/// Where a replay left its recording: the first checkpoint at which the world's hash
/// differs from the one recorded there.
struct ReplayMismatch {
    std::uint32_t frame = 0;    ///< the frame at whose end the hashes differ (0 is the first)
    std::uint64_t recorded = 0; ///< the world hash the recording saw there
    std::uint64_t replayed = 0; ///< the world hash the replay reached instead
};

/// Turns the window's events into engine events for every object: keys (EventKeyboard),
/// characters typed (EventText), the mouse (EventMouse) and its wheel (EventMouseWheel),
/// and joysticks and gamepads (EventJoystick).
/// Closing the window ends the game. F11 and Alt+Enter belong to the engine: they
/// switch the display to fullscreen and back and reach no object.
///
/// It can record, frame by frame, every event it hands to the objects into an input file,
/// with the random seed the game uses, the engine's version and, about once a second, the
/// world's hash (GameManager::getWorldHash); and it can replay such a file instead of
/// reading the window, so that a session runs again exactly, with or without a window, and
/// stops where the world first differs from the recorded one. The file format is in the
/// README.
class InputManager : public Manager {
public:
    static constexpr const char* TYPE = "InputManager"; ///< the type of the input manager
    /// The version of the input file format this engine writes and the newest it reads:
    /// version 2 has checkpoints, text, the wheel, joysticks and the keys beyond the first
    /// 74; version 1 files replay as before.
    static constexpr std::uint32_t INPUT_FILE_VERSION = 2;
    /// The most events an input file may hold; a longer file is refused, and a recording
    /// ends there.
    static constexpr std::size_t MAX_INPUT_EVENTS = 4000000;
    /// The longest line, in characters, an input file may have.
    static constexpr std::size_t MAX_INPUT_LINE = 200;

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

    /// Whether a joystick (0 to Joystick::COUNT - 1) is connected, as its events tell.
    /// Joysticks already plugged in when the window opens are announced in the first frame.
    [[nodiscard]] bool isJoystickConnected(int joystick) const;
    /// Whether a joystick's button is held down; a press within one frame counts until the
    /// next, as for keys.
    [[nodiscard]] bool isJoystickButtonHeld(int joystick, int button) const;
    /// Where a joystick's axis stands, -100 to 100; 0 for a joystick not connected.
    [[nodiscard]] float getJoystickAxis(int joystick, Joystick::Axis axis) const;

    /// The threshold of joystick axis moves, 0 to 100: a move smaller than this from the last
    /// position told makes no event (SFML's own default: 0.1). Applies to the window's joysticks.
    void setJoystickThreshold(float threshold);

    /// A window pixel position in cells of the grid, through the display's scaling
    /// (DisplayManager::windowPixelToCells).
    [[nodiscard]] static Vector pixelToCells(sf::Vector2i pixel);

    /// Why a recording must not be written to file, or nothing when it may: no file name;
    /// not a regular file ("is a folder", "is a device", ...); the file being replayed; an
    /// existing file that is not a recording (only a recording is replaced by one); a
    /// recording already under way into it (FILE.partial exists: another session's, or one
    /// that was cut short); or a folder that cannot be written. Works before start-up, so a
    /// program can refuse a file before its window opens.
    [[nodiscard]] std::optional<std::string> whyNotRecordingTarget(const std::filesystem::path& file) const;

    /// Records from the next frame on every event handed to the objects, the window's close
    /// button and the forgetting of held keys (when the window loses the focus or changes to
    /// or from fullscreen), with the game's random seed, and a checkpoint of the world's hash
    /// every 30 frames. It is written as the session goes, into FILE.partial beside file (on
    /// the disk at least once a second), which takes file's name only when the recording is
    /// finished, by stopRecording or the engine's shut-down; until then file is left as it
    /// was, and after a crash FILE.partial replays up to its last checkpoint. Returns 0, or
    /// -1 with a log line when the file is refused (whyNotRecordingTarget) or cannot be
    /// written. A recording already running is finished first.
    int startRecording(const std::filesystem::path& file, std::uint32_t seed);
    /// Finishes the recording: its last checkpoint (the world as it stands, unless a frame
    /// is under way, which is then left out), its last line, the disk, and the move onto its
    /// file. Returns 0, or -1 (with a log line) when this or earlier writing failed, which
    /// leaves the file as it was; 0 when no recording ran.
    [[nodiscard]] int stopRecording();
    /// Whether a recording runs.
    [[nodiscard]] bool isRecording() const { return recorder != nullptr; }
    /// Why the last recording failed (a full disk, say), once it has: writing stopped then,
    /// with a log line. Empty while all is well; a new recording starts afresh.
    [[nodiscard]] const std::string& getRecordingError() const { return recordingError; }

    /// Replays an input file from the next frame on, in place of the window's input: each
    /// frame gets the events recorded for it, in their order, and the engine's random numbers
    /// (GameManager::getRandom) are seeded as the recording's were. At the end of each frame
    /// that has a checkpoint, the world's hash is compared with the recorded one: at the
    /// first difference the replay stops there, with a log line, the game-over flag is set
    /// and getReplayMismatch tells where. After the file's last frame the game-over flag is
    /// set, as the window's close button sets it. A window still shows the game, changes
    /// size and goes fullscreen, and its close button still ends the game, but its keys and
    /// mouse reach no object. Returns 0; a file that is no regular, readable file, is corrupt,
    /// too large or of a newer format is refused with a log line, -1, and changes nothing. A
    /// version 2 file cut short (without its end line) replays up to its last checkpoint,
    /// with a warning (isReplayCutShort); a version 1 file cut short is refused.
    int startReplay(const std::filesystem::path& file);
    /// As startReplay, from a stream (a hand-written script in a string, say); name names it
    /// in log lines.
    int startReplayFromStream(std::istream& in, const std::string& name);
    /// Goes back to the window's input.
    void stopReplay();
    /// Whether a replay was started and not stopped, even when all its frames have been played.
    [[nodiscard]] bool isReplaying() const { return replay != nullptr; }
    /// The random seed of the replay's recording; 0 when not replaying.
    [[nodiscard]] std::uint32_t getReplaySeed() const;
    /// The frames of the replay's file; 0 when not replaying.
    [[nodiscard]] std::uint32_t getReplayFrameCount() const;
    /// Where the last replay left its recording, if it did; nothing while every checkpoint
    /// so far held (or the file has none).
    [[nodiscard]] const std::optional<ReplayMismatch>& getReplayMismatch() const { return mismatch; }
    /// Whether the replay's file was cut short, so that it ends at its last checkpoint
    /// rather than where the session ended.
    [[nodiscard]] bool isReplayCutShort() const;

private:
    friend class Immortal<InputManager>;
    friend class GameManager;
    friend struct TestHooks;
    InputManager();
    ~InputManager();

    /// The frame's end, after it was shown: the recording's checkpoint, the replay's check.
    void endFrame();
    /// Compares the world with the replay's checkpoint of the frame that has just ended.
    void checkReplay();
    /// Writing the recording failed: says so, and stops it, leaving its file as it was.
    void abandonRecording();

    int startUpImpl() override;
    void shutDownImpl() override;

    /// Drains the window's event queue; its keys and mouse are the game's input unless a
    /// replay gives that.
    void pollWindow(bool gameInput);
    /// Turns one window event into the game's input; keys and the mouse only when they are
    /// the game's (gameInput), not a replay's.
    void handleWindowEvent(const sf::Event& event, bool gameInput);
    /// Joystick events, as handleWindowEvent gets them; true when the event was one.
    bool handleJoystickEvent(const sf::Event& event);
    /// Tells the game of every change between what it knows of the joysticks and how they
    /// stand now (live): connections, axes and buttons. A window tells changes only from
    /// when it opened, so this runs in the first frame after each new window.
    void syncJoysticks(const std::array<JoystickState, Joystick::COUNT>& live);
    /// How SFML sees the joysticks now.
    [[nodiscard]] static std::array<JoystickState, Joystick::COUNT> liveJoysticks();
    /// Plays the replay's next frame.
    void replayFrame();
    /// Hands an input to the game: an event to every object, or the close button or the
    /// forgetting of held keys to the engine; and records it.
    void deliver(const InputRecord& record);
    /// A joystick's input to the game: its state, then the event.
    void deliverJoystick(const InputRecord& record);
    /// Handles F11 and Alt+Enter; true when the key was the engine's and goes no further.
    bool takeFullscreenKey(sf::Keyboard::Key key, bool pressed, bool altInEvent);
    /// Forgets keys and buttons held: their releases go to another window.
    void forgetHeld();

    /// Held keys or buttons, from their press and release events.
    template <std::size_t SIZE>
    struct HeldSet {
        std::bitset<SIZE> held;
        std::bitset<SIZE> pressedThisFrame;
        std::bitset<SIZE> releaseNextFrame;

        void startFrame();
        void press(int index);
        void release(int index);
        [[nodiscard]] bool isHeld(int index) const;
        void forget(int index);
        void clear();
    };

    HeldSet<128> keys;
    HeldSet<128> buttons;
    HeldSet<Joystick::COUNT * Joystick::BUTTON_COUNT> joystickButtons; ///< by joystick × BUTTON_COUNT + button
    std::array<JoystickState, Joystick::COUNT> joysticks; ///< connections and axes, from their events
    std::vector<sf::Event> injected; ///< window events a test hands in, taken after the window's
    float joystickThreshold = 0.1f;
    bool joysticksToSync = true;     ///< a new window: tell the game how the joysticks stand
    std::unique_ptr<InputRecorder> recorder; ///< the recording running, if any
    std::string recordingError;
    std::unique_ptr<InputReplay> replay;     ///< the replay running, if any
    std::filesystem::path replayFile;        ///< the file it reads, when it reads one
    std::optional<ReplayMismatch> mismatch;
    bool altHeld = false;            ///< an Alt key is down, as far as this window has seen
    bool enterReleaseTaken = false;  ///< the Enter of an Alt+Enter is still down
};

} // namespace mx
