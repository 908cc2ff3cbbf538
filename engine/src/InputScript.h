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
    };
    std::uint32_t frame = 0;
    Kind kind = Kind::KEY;
    std::int8_t action = 0; ///< KeyboardAction for a key, MouseAction for the mouse
    std::int8_t code = -1;  ///< the engine's key code, or the mouse button
    Vector position;        ///< the pointer in cells, for the mouse

    /// A key going down or up.
    static InputRecord key(int action, int key) { return {0, Kind::KEY, narrow(action), narrow(key), {}}; }
    /// A mouse button going down or up, or the pointer moving (button UNDEFINED_MOUSE_BUTTON).
    static InputRecord mouse(int action, int button, Vector at) {
        return {0, Kind::MOUSE, narrow(action), narrow(button), at};
    }
    /// The close button, or held keys and buttons forgotten.
    static InputRecord of(Kind kind) { return {0, kind, 0, -1, {}}; }

private:
    static std::int8_t narrow(int value) { return static_cast<std::int8_t>(value); }
};

/// An input file in memory: its header and its records, frame by frame.
struct InputScript {
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
