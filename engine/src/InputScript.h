#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <mx/Vector.h>

namespace mx {

/// One line of an input file: an input that reached the game in one frame.
struct InputRecord {
    enum class Kind : std::uint8_t {
        KEY,         ///< a key went down or up
        MOUSE,       ///< a button went down or up, or the pointer moved
        CLOSE,       ///< the window's close button
        FORGET_HELD, ///< held keys and buttons forgotten (focus lost, fullscreen switched)
        TEXT,        ///< a character typed (format version 2)
        WHEEL,       ///< the mouse wheel turned (format version 2)
        JOYSTICK,    ///< a joystick's button, axis or connection (format version 2)
    };
    std::uint32_t frame = 0;
    Kind kind = Kind::KEY;
    std::int8_t action = 0; ///< KeyboardAction, MouseAction, JoystickAction; the MouseWheel of a wheel
    std::int8_t code = -1;  ///< the engine's key code, the mouse button, the joystick's button or axis
    std::uint8_t device = 0; ///< the joystick
    Vector position;        ///< the pointer in cells, for the mouse and the wheel
    float amount = 0.0f;    ///< the wheel's notches, the axis's position
    char32_t character = 0; ///< the character typed

    /// A key going down or up.
    static InputRecord key(int action, int key) { return {0, Kind::KEY, narrow(action), narrow(key), 0, {}, 0.0f, 0}; }
    /// A mouse button going down or up, or the pointer moving (button UNDEFINED_MOUSE_BUTTON).
    static InputRecord mouse(int action, int button, Vector at) {
        return {0, Kind::MOUSE, narrow(action), narrow(button), 0, at, 0.0f, 0};
    }
    /// The close button, or held keys and buttons forgotten.
    static InputRecord of(Kind kind) { return {0, kind, 0, -1, 0, {}, 0.0f, 0}; }
    /// A character typed.
    static InputRecord text(char32_t c) { return {0, Kind::TEXT, 0, -1, 0, {}, 0.0f, c}; }
    /// A wheel turned by some notches, the pointer at a cell.
    static InputRecord wheel(int wheel, float delta, Vector at) {
        return {0, Kind::WHEEL, narrow(wheel), -1, 0, at, delta, 0};
    }
    /// A joystick's button (code) pressed or released, axis (code) moved to a position, or the
    /// joystick connected or disconnected (code -1).
    static InputRecord joystick(int action, int joystick, int code, float position = 0.0f) {
        return {0, Kind::JOYSTICK, narrow(action), narrow(code), static_cast<std::uint8_t>(joystick), {}, position, 0};
    }

private:
    static std::int8_t narrow(int value) { return static_cast<std::int8_t>(value); }
};

/// An input file in memory: its header and its records, frame by frame.
struct InputScript {
    std::uint32_t formatVersion = 0; ///< 1 holds keys, the mouse, close and forget-held; 2 all kinds
    std::string engineVersion;
    std::uint32_t seed = 0;
    std::uint32_t frameCount = 0; ///< every record's frame is below it
    std::vector<InputRecord> records;
};

/// Why an input file is refused, and on which line.
struct InputScriptError {
    std::size_t line = 0;
    std::string reason;
};

/// Reads a whole input file, checking all of it; the reason for refusing it otherwise. Lines
/// and records are bounded, so no input makes it allocate more than the largest valid file.
[[nodiscard]] std::optional<InputScriptError> readInputScript(std::istream& in, InputScript& script);

/// A record as its line in a file, without the line end.
[[nodiscard]] std::string formatInputRecord(const InputRecord& record);

/// Writes an input file while it is recorded: the header at once, then each record, then
/// the end line.
class InputRecorder {
public:
    /// Opens the file, emptying it, and writes the header; isOpen tells whether that worked.
    InputRecorder(const std::filesystem::path& file, std::uint32_t seed);

    [[nodiscard]] bool isOpen() const { return out.is_open() && out.good(); }
    [[nodiscard]] const std::filesystem::path& getPath() const { return path; }

    /// A frame begins: records added from here on belong to it.
    void startFrame() { ++frames; }
    /// Adds a record to the current frame; false, writing nothing, when the file holds the
    /// most records a file may.
    [[nodiscard]] bool add(InputRecord record);
    /// Writes the end line and closes the file; false when some writing failed.
    [[nodiscard]] bool finish();

private:
    std::filesystem::path path;
    std::ofstream out;
    std::uint32_t frames = 0;
    std::size_t count = 0;
};

/// Plays an input script back, frame by frame.
class InputReplay {
public:
    InputReplay(InputScript script_, std::string name_) : script(std::move(script_)), name(std::move(name_)) {}

    /// The records of the next frame, in their order; none once every frame has been played.
    [[nodiscard]] std::span<const InputRecord> nextFrame();
    /// Whether every frame of the script has been played.
    [[nodiscard]] bool isOver() const { return frame >= script.frameCount; }
    /// Frames played so far.
    [[nodiscard]] std::uint32_t getFrame() const { return frame; }
    [[nodiscard]] const InputScript& getScript() const { return script; }
    [[nodiscard]] const std::string& getName() const { return name; }

private:
    InputScript script;
    std::string name;
    std::size_t next = 0;
    std::uint32_t frame = 0;
};

} // namespace mx
