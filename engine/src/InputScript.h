#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <memory>
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

/// The world hash a recording saw at the end of one of its frames.
struct Checkpoint {
    std::uint32_t frame = 0;
    std::uint64_t hash = 0;
};

/// An input file in memory: its header and its records, frame by frame.
struct InputScript {
    std::uint32_t version = 0;
    std::string engineVersion;
    std::uint32_t seed = 0;
    std::uint32_t frameCount = 0; ///< every record's frame is below it
    std::vector<InputRecord> records;
    std::vector<Checkpoint> checkpoints; ///< in frame order, at most one a frame
    /// A file without its 'end' line: the line where it stops. It keeps the frames up to its
    /// last checkpoint, the last frame known to have been written whole.
    std::optional<std::size_t> cutAtLine;
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

/// A checkpoint as its line in a file, without the line end: "FRAME check HASH".
[[nodiscard]] std::string formatCheckpoint(const Checkpoint& checkpoint);

/// The file a recording of target is written into until it ends: target.partial.
[[nodiscard]] std::filesystem::path partialRecordingPath(const std::filesystem::path& target);

class StreamedFile;

/// Writes an input file while it is recorded, into a file beside its target
/// (partialRecordingPath) that takes the target's name only when the recording finishes:
/// the header at once, then whole frames, each group of them closed by a checkpoint and
/// handed to the disk at least once a second, then the end line.
class InputRecorder {
public:
    /// Frames between two checkpoints: about a second.
    static constexpr std::uint32_t CHECKPOINT_FRAMES = 30;
    /// The longest time, however slow the frames, between two writes to the disk.
    static constexpr std::chrono::milliseconds MOST_TIME_UNWRITTEN{1000};

    /// Makes the file beside target, which must not exist, and writes the header; isOpen
    /// and getError tell how that went.
    InputRecorder(const std::filesystem::path& target, std::uint32_t seed);
    ~InputRecorder();

    [[nodiscard]] bool isOpen() const;
    /// The file the recording becomes.
    [[nodiscard]] const std::filesystem::path& getPath() const { return target; }
    /// The file it is written into meanwhile.
    [[nodiscard]] const std::filesystem::path& getPartialPath() const { return partial; }

    /// A frame begins: records added from here on belong to it.
    void startFrame();
    /// Adds a record to the current frame; false, writing nothing, when the file holds the
    /// most records a file may.
    [[nodiscard]] bool add(InputRecord record);
    /// The frame under way has ended. Every CHECKPOINT_FRAMES frames, or when a write is
    /// due, the world's hash (asked of worldHash then only) closes the frames since the last
    /// checkpoint, and they go to the disk.
    void endFrame(std::uint64_t (*worldHash)());
    /// Whether a frame has begun and not ended.
    [[nodiscard]] bool isInFrame() const { return inFrame; }
    /// Whether writing has failed: the recording is lost from the last write on.
    [[nodiscard]] bool hasFailed() const;
    /// Why the file cannot be made or written; empty while all is well.
    [[nodiscard]] std::string getError() const;

    /// Ends the recording with the last frame ended: its checkpoint (lastHash, the world as
    /// it stands, unless a frame is under way, whose records are then left out along with
    /// it), the end line, the disk, and the move onto the target. False, with getError
    /// saying why, when something failed; the target is then as it was.
    [[nodiscard]] bool finish(std::optional<std::uint64_t> lastHash);

private:
    void writeCheckpoint(std::uint64_t hash);
    void handOver();

    std::filesystem::path target;
    std::filesystem::path partial;
    std::unique_ptr<StreamedFile> file;
    std::string lines;                ///< the frames since the last checkpoint
    std::size_t frameStart = 0;       ///< where the frame under way begins in lines
    std::uint32_t frames = 0;         ///< frames begun
    bool inFrame = false;
    std::optional<std::uint32_t> lastChecked; ///< the frame of the last checkpoint
    std::size_t count = 0;
    std::size_t checkpoints = 0;
    std::chrono::steady_clock::time_point lastWrite;
    std::string finishError;
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

    /// The checkpoint recorded at the end of the frame played last, if there is one.
    [[nodiscard]] std::optional<Checkpoint> checkpointOfFrame();
    /// Plays nothing more: the script counts as played to its end.
    void stop() { frame = script.frameCount; }

private:
    InputScript script;
    std::string name;
    std::size_t next = 0;
    std::size_t nextCheckpoint = 0;
    std::uint32_t frame = 0;
};

} // namespace mx
