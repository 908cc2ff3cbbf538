#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <memory>
#include <string>

#include <SFML/System/Vector2.hpp>
#include <SFML/Window/Keyboard.hpp>

#include <mx/EventKeyboard.h>
#include <mx/Manager.h>
#include <mx/Vector.h>

namespace mx {

class InputRecorder;
class InputReplay;
struct InputRecord;

/// The engine key code of an SFML key; UNDEFINED_KEY for keys the engine does not name.
[[nodiscard]] Keyboard::Key translateKey(sf::Keyboard::Key key);

/// Turns the window's events into keyboard and mouse events for every object.
/// Closing the window ends the game. F11 and Alt+Enter belong to the engine: they
/// switch the display to fullscreen and back and reach no object.
///
/// It can record, frame by frame, every event it hands to the objects into an input file,
/// with the random seed the game uses and the engine's version; and it can replay such a
/// file instead of reading the window, so that a session runs again exactly, with or
/// without a window. The file format is in the README.
class InputManager : public Manager {
public:
    static constexpr const char* TYPE = "InputManager"; ///< the type of the input manager
    /// The version of the input file format this engine writes and the newest it reads.
    static constexpr std::uint32_t INPUT_FILE_VERSION = 1;
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

    /// A window pixel position in cells of the grid, through the display's scaling
    /// (DisplayManager::windowPixelToCells).
    [[nodiscard]] static Vector pixelToCells(sf::Vector2i pixel);

    /// Records from the next frame on every event handed to the objects, the window's close
    /// button and the forgetting of held keys (when the window loses the focus or changes to
    /// or from fullscreen) into a file, emptied now, with the game's random seed. The file is
    /// finished by stopRecording or the input manager's shut-down. Returns 0, or -1 with a
    /// log line when the file cannot be written. A recording already running is finished first.
    int startRecording(const std::filesystem::path& file, std::uint32_t seed);
    /// Finishes the recording: writes its last line and closes the file (a log line when that fails).
    void stopRecording();
    /// Whether a recording runs.
    [[nodiscard]] bool isRecording() const { return recorder != nullptr; }

    /// Replays an input file from the next frame on, in place of the window's input: each
    /// frame gets the events recorded for it, in their order. After the file's last frame
    /// the game-over flag is set, as the window's close button sets it. A window still
    /// shows the game, changes size and goes fullscreen, and its close button still ends the
    /// game, but its keys and mouse reach no object. Returns 0; a file that cannot be read,
    /// is cut short, corrupt, too large or of a newer format is refused with a log line, -1,
    /// and changes nothing. Use getReplaySeed to seed the random numbers as the recording did.
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

private:
    friend class Immortal<InputManager>;
    InputManager();
    ~InputManager();

    int startUpImpl() override;
    void shutDownImpl() override;

    /// Drains the window's event queue; its keys and mouse are the game's input unless a
    /// replay gives that.
    void pollWindow(bool gameInput);
    /// Plays the replay's next frame.
    void replayFrame();
    /// Hands an input to the game: an event to every object, or the close button or the
    /// forgetting of held keys to the engine; and records it.
    void deliver(const InputRecord& record);
    /// Handles F11 and Alt+Enter; true when the key was the engine's and goes no further.
    bool takeFullscreenKey(sf::Keyboard::Key key, bool pressed, bool altInEvent);
    /// Forgets keys and buttons held: their releases go to another window.
    void forgetHeld();

    /// Held keys or buttons, from their press and release events.
    struct HeldSet {
        static constexpr std::size_t SIZE = 128;
        std::bitset<SIZE> held;
        std::bitset<SIZE> pressedThisFrame;
        std::bitset<SIZE> releaseNextFrame;

        void startFrame();
        void press(int index);
        void release(int index);
        [[nodiscard]] bool isHeld(int index) const;
        void clear();
    };

    HeldSet keys;
    HeldSet buttons;
    std::unique_ptr<InputRecorder> recorder; ///< the recording running, if any
    std::unique_ptr<InputReplay> replay;     ///< the replay running, if any
    bool altHeld = false;            ///< an Alt key is down, as far as this window has seen
    bool enterReleaseTaken = false;  ///< the Enter of an Alt+Enter is still down
};

} // namespace mx
