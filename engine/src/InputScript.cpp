#include "InputScript.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <istream>
#include <string_view>

#include <mx/EventKeyboard.h>
#include <mx/EventMouse.h>
#include <mx/Hash.h>
#include <mx/InputManager.h>
#include <mx/Version.h>

#include "Platform.h"
#include "StreamedFile.h"

namespace mx {

namespace {

constexpr std::string_view MAGIC = "moltrix-input";
constexpr std::string_view CHECK = "check";
/// The first version with checkpoints and the cut-short rule.
constexpr std::uint32_t CHECKPOINT_VERSION = 2;

/// The names of the engine's key codes from UNDEFINED_KEY (-1) on; 22 has none.
constexpr std::array<std::string_view, 76> KEY_NAMES = {
    "UNDEFINED", "SPACE", "ENTER", "ESCAPE", "TAB", "LEFT", "RIGHT", "UP", "DOWN", "PAUSE",
    "SUBTRACT", "ADD", "GRAVE", "PERIOD", "COMMA", "SLASH", "EQUAL", "BACKSLASH", "MULTIPLY",
    "APOSTROPHE", "SEMICOLON", "LCONTROL", "RCONTROL", "", "RSHIFT",
    "F1", "F2", "F3", "F4", "F5", "F6", "F7", "F8", "F9", "F10", "F11", "F12",
    "A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M",
    "N", "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z",
    "NUM1", "NUM2", "NUM3", "NUM4", "NUM5", "NUM6", "NUM7", "NUM8", "NUM9", "NUM0",
    "BACKSPACE", "LBRACKET", "RBRACKET"};

/// SFML's mouse buttons by number.
constexpr std::array<std::string_view, 5> BUTTON_NAMES = {"left", "right", "middle", "extra1", "extra2"};

constexpr std::array<std::string_view, 3> MOUSE_ACTIONS = {"pressed", "released", "moved"};
constexpr std::array<std::string_view, 2> KEY_ACTIONS = {"pressed", "released"};

/// The index of a name in a table, or -1.
template <std::size_t N>
int indexOf(const std::array<std::string_view, N>& names, std::string_view name) {
    for (std::size_t i = 0; i < N; ++i) {
        if (!names[i].empty() && names[i] == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

/// The whole text as a number of type T, nothing more or less.
template <typename T>
bool parse(std::string_view text, T& value) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && stop == end;
}

bool parseCoordinate(std::string_view text, float& value) {
    return parse(text, value) && std::isfinite(value);
}

std::string quoted(std::string_view text) {
    return "'" + std::string(text) + "'";
}

template <typename T>
void appendNumber(std::string& out, T value) {
    char digits[32];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

/// Reads an input file line by line, never holding more than one bounded line.
class ScriptReader {
public:
    explicit ScriptReader(std::istream& in_) : in(in_) {}

    std::optional<InputScriptError> read(InputScript& script);

private:
    enum class Line { TEXT, END_OF_FILE, TOO_LONG };

    /// The next line, split into fields.
    Line readLine();
    /// The next line that is neither blank nor a comment.
    Line nextContent();
    /// Fills a record from the fields after the frame number; the reason when they are wrong.
    std::optional<std::string> parseRecord(InputRecord& record) const;
    /// Reads a checkpoint line of a frame into the script; the reason when it is wrong.
    std::optional<std::string> readCheckpoint(std::uint32_t frame, InputScript& script) const;
    /// The end of a file that has no end line: refused, or kept up to its last checkpoint.
    std::optional<InputScriptError> cutShort(InputScript& script) const;
    /// Whether the line read last is where the writing of a file stopped: a last line
    /// without its line end.
    [[nodiscard]] bool isWhereWritingStopped() const { return version >= CHECKPOINT_VERSION && unended; }
    [[nodiscard]] InputScriptError error(std::string reason) const { return {lineNumber, std::move(reason)}; }
    [[nodiscard]] bool is(std::size_t count, std::string_view first) const {
        return fieldCount == count && fields[0] == first;
    }

    static constexpr std::size_t MAX_FIELDS = 8;
    std::istream& in;
    std::string line;
    std::size_t lineNumber = 0;
    std::array<std::string_view, MAX_FIELDS> fields;
    std::size_t fieldCount = 0; ///< MAX_FIELDS + 1 when the line has more
    bool unended = false;       ///< the line read last ends with the file, not with a line end
    std::uint32_t version = 0;
};

ScriptReader::Line ScriptReader::readLine() {
    ++lineNumber;
    line.clear();
    fieldCount = 0;
    unended = false;
    using Traits = std::char_traits<char>;
    std::streambuf* buffer = in.rdbuf();
    Traits::int_type c = buffer != nullptr ? buffer->sbumpc() : Traits::eof();
    if (c == Traits::eof()) {
        return Line::END_OF_FILE;
    }
    if (c == '\0' && version >= CHECKPOINT_VERSION) {
        return Line::END_OF_FILE; // the zeros a disk may leave after the last write: the file ends here
    }
    for (; c != Traits::eof() && c != '\n'; c = buffer->sbumpc()) {
        if (line.size() > InputManager::MAX_INPUT_LINE) {
            return Line::TOO_LONG; // one more than the longest line is read, for a carriage return
        }
        line.push_back(Traits::to_char_type(c));
    }
    unended = c == Traits::eof();
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    if (line.size() > InputManager::MAX_INPUT_LINE) {
        return Line::TOO_LONG;
    }
    const std::string_view text(line);
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t start = text.find_first_not_of(" \t", at);
        if (start == std::string_view::npos) {
            break;
        }
        const std::size_t stop = std::min(text.find_first_of(" \t", start), text.size());
        if (fieldCount == MAX_FIELDS) {
            ++fieldCount;
            break;
        }
        fields[fieldCount++] = text.substr(start, stop - start);
        at = stop;
    }
    return Line::TEXT;
}

ScriptReader::Line ScriptReader::nextContent() {
    while (true) {
        const Line result = readLine();
        if (result != Line::TEXT || (fieldCount > 0 && fields[0].front() != '#')) {
            return result;
        }
    }
}

std::optional<std::string> ScriptReader::parseRecord(InputRecord& record) const {
    if (fieldCount > MAX_FIELDS) {
        return "too many fields";
    }
    const std::string_view what = fieldCount > 1 ? fields[1] : "";
    if (what == "key") {
        if (fieldCount != 4) {
            return "expected 'key pressed|released KEY'";
        }
        const int action = indexOf(KEY_ACTIONS, fields[2]);
        const int key = indexOf(KEY_NAMES, fields[3]);
        if (action < 0) {
            return "a key is pressed or released, not " + quoted(fields[2]);
        }
        if (key < 0) {
            return "no key is named " + quoted(fields[3]);
        }
        record.kind = InputRecord::Kind::KEY;
        record.action = static_cast<std::int8_t>(action);
        record.code = static_cast<std::int8_t>(key - 1);
        return std::nullopt;
    }
    if (what == "mouse") {
        const int action = fieldCount > 2 ? indexOf(MOUSE_ACTIONS, fields[2]) : -1;
        const bool move = action == MOVED;
        if (action < 0 || fieldCount != (move ? 5u : 6u)) {
            return "expected 'mouse moved X Y' or 'mouse pressed|released BUTTON X Y'";
        }
        const int button = move ? UNDEFINED_MOUSE_BUTTON : indexOf(BUTTON_NAMES, fields[3]);
        if (!move && button < 0) {
            return "no mouse button is named " + quoted(fields[3]);
        }
        const std::size_t at = move ? 3 : 4;
        if (!parseCoordinate(fields[at], record.position.x) || !parseCoordinate(fields[at + 1], record.position.y)) {
            return "the pointer's cell is not two numbers: " + quoted(fields[at]) + " " + quoted(fields[at + 1]);
        }
        record.kind = InputRecord::Kind::MOUSE;
        record.action = static_cast<std::int8_t>(action);
        record.code = static_cast<std::int8_t>(button);
        return std::nullopt;
    }
    if ((what == "close" || what == "forget-held") && fieldCount == 2) {
        record.kind = what == "close" ? InputRecord::Kind::CLOSE : InputRecord::Kind::FORGET_HELD;
        return std::nullopt;
    }
    return "expected 'key', 'mouse', 'close' or 'forget-held' after the frame number";
}

std::optional<std::string> ScriptReader::readCheckpoint(std::uint32_t frame, InputScript& script) const {
    if (version < CHECKPOINT_VERSION) {
        return "checkpoints came with version 2 of the format; this file is version " + std::to_string(version);
    }
    const auto hash = fieldCount == 3 ? Hash::fromText(fields[2]) : std::nullopt;
    if (!hash) {
        return "expected 'check' and a world hash of 16 hexadecimal digits";
    }
    if (!script.checkpoints.empty() && script.checkpoints.back().frame == frame) {
        return "a second checkpoint for frame " + std::to_string(frame);
    }
    if (script.checkpoints.size() == InputManager::MAX_INPUT_EVENTS) {
        return "more than " + std::to_string(InputManager::MAX_INPUT_EVENTS) + " checkpoints";
    }
    script.checkpoints.push_back({frame, *hash});
    return std::nullopt;
}

std::optional<InputScriptError> ScriptReader::cutShort(InputScript& script) const {
    if (version < CHECKPOINT_VERSION) {
        return error("the file ends before its 'end' line: it was cut short");
    }
    if (script.checkpoints.empty()) {
        return error("the file ends before its 'end' line and before its first checkpoint: it was cut short "
                     "with nothing whole to replay");
    }
    // What came after the last checkpoint may be a frame written in part: left out.
    const std::uint32_t last = script.checkpoints.back().frame;
    std::erase_if(script.records, [last](const InputRecord& record) { return record.frame > last; });
    script.frameCount = last + 1;
    script.cutAtLine = lineNumber;
    return std::nullopt;
}

std::optional<InputScriptError> ScriptReader::read(InputScript& script) {
    // The first line says what the file is; nothing may come before it.
    if (readLine() != Line::TEXT || fieldCount != 2 || fields[0] != MAGIC || !parse(fields[1], version) || version == 0) {
        return error("not an input file: its first line must be 'moltrix-input <version>'");
    }
    if (version > InputManager::INPUT_FILE_VERSION) {
        return error("format version " + std::to_string(version) + " is newer than this engine reads (" +
                     std::to_string(InputManager::INPUT_FILE_VERSION) + ")");
    }
    script.version = version;
    if (nextContent() != Line::TEXT || !is(2, "engine")) {
        return error("expected 'engine <version>'");
    }
    script.engineVersion = fields[1];
    if (nextContent() != Line::TEXT || !is(2, "seed") || !parse(fields[1], script.seed)) {
        return error("expected 'seed <number from 0 to 4294967295>'");
    }
    std::optional<std::uint32_t> lastFrame;
    while (true) {
        Line result = nextContent();
        if (result == Line::TEXT && isWhereWritingStopped()) {
            result = Line::END_OF_FILE;
        }
        if (result == Line::END_OF_FILE) {
            return cutShort(script);
        }
        if (result == Line::TOO_LONG) {
            return error("a line longer than " + std::to_string(InputManager::MAX_INPUT_LINE) + " characters");
        }
        if (fields[0] == "end") {
            break;
        }
        InputRecord record;
        if (!parse(fields[0], record.frame)) {
            return error("expected a frame number or 'end', not " + quoted(fields[0]));
        }
        if (lastFrame && record.frame < *lastFrame) {
            return error("frame " + std::to_string(record.frame) + " comes after frame " + std::to_string(*lastFrame));
        }
        lastFrame = record.frame;
        if (fieldCount > 1 && fields[1] == CHECK) {
            if (auto reason = readCheckpoint(record.frame, script)) {
                return error(*reason);
            }
            continue;
        }
        if (!script.checkpoints.empty() && script.checkpoints.back().frame == record.frame) {
            return error("an input of frame " + std::to_string(record.frame) + " after its checkpoint, which ends it");
        }
        if (script.records.size() == InputManager::MAX_INPUT_EVENTS) {
            return error("more than " + std::to_string(InputManager::MAX_INPUT_EVENTS) + " events");
        }
        if (auto reason = parseRecord(record)) {
            return error(*reason);
        }
        script.records.push_back(record);
    }
    if (fieldCount != 2 || !parse(fields[1], script.frameCount)) {
        return error("expected 'end <frame count>'");
    }
    if (lastFrame && *lastFrame >= script.frameCount) {
        return error("an event of frame " + std::to_string(*lastFrame) + " lies past the end, " +
                     std::to_string(script.frameCount) + " frames");
    }
    if (nextContent() != Line::END_OF_FILE) {
        return error("text after the 'end' line");
    }
    return std::nullopt;
}

} // namespace

std::optional<InputScriptError> readInputScript(std::istream& in, InputScript& script) {
    script = InputScript{};
    ScriptReader reader(in);
    try {
        return reader.read(script);
    } catch (const std::exception& failure) {
        // A file stream throws from the middle of a read that the system refused (a folder, a
        // failing disk), whatever the stream's exception mask says.
        script = InputScript{};
        return InputScriptError{0, std::string("it cannot be read: ") + failure.what()};
    }
}

std::string formatCheckpoint(const Checkpoint& checkpoint) {
    std::string text;
    appendNumber(text, checkpoint.frame);
    text += ' ';
    text += CHECK;
    text += ' ';
    text += Hash::toText(checkpoint.hash);
    return text;
}

std::filesystem::path partialRecordingPath(const std::filesystem::path& target) {
    std::filesystem::path partial = target;
    partial += ".partial";
    return partial;
}

std::string formatInputRecord(const InputRecord& record) {
    std::string text;
    appendNumber(text, record.frame);
    switch (record.kind) {
    case InputRecord::Kind::KEY:
        text += " key ";
        text += KEY_ACTIONS.at(static_cast<std::size_t>(record.action));
        text += ' ';
        text += KEY_NAMES.at(static_cast<std::size_t>(record.code + 1));
        break;
    case InputRecord::Kind::MOUSE:
        text += " mouse ";
        text += MOUSE_ACTIONS.at(static_cast<std::size_t>(record.action));
        if (record.action != MOVED) {
            text += ' ';
            text += BUTTON_NAMES.at(static_cast<std::size_t>(record.code));
        }
        text += ' ';
        appendNumber(text, record.position.x); // the shortest text that reads back as the same float
        text += ' ';
        appendNumber(text, record.position.y);
        break;
    case InputRecord::Kind::CLOSE:
        text += " close";
        break;
    case InputRecord::Kind::FORGET_HELD:
        text += " forget-held";
        break;
    }
    return text;
}

InputRecorder::InputRecorder(const std::filesystem::path& target_, std::uint32_t seed)
    : target(target_), partial(partialRecordingPath(target_)), file(std::make_unique<StreamedFile>(partial)),
      lastWrite(std::chrono::steady_clock::now()) {
    if (!file->isOpen()) {
        return;
    }
    // The header at once: from the start, the file says what it is.
    std::string header(MAGIC);
    header += ' ' + std::to_string(InputManager::INPUT_FILE_VERSION) + "\nengine " + engineVersion() + "\nseed " +
              std::to_string(seed) + '\n';
    file->append(header);
}

InputRecorder::~InputRecorder() = default;

bool InputRecorder::isOpen() const {
    return file->isOpen();
}

bool InputRecorder::hasFailed() const {
    return !finishError.empty() || file->hasFailed();
}

std::string InputRecorder::getError() const {
    return finishError.empty() ? file->getError() : finishError;
}

void InputRecorder::startFrame() {
    ++frames;
    inFrame = true;
    frameStart = lines.size();
}

bool InputRecorder::add(InputRecord record) {
    if (count == InputManager::MAX_INPUT_EVENTS) {
        return false;
    }
    if (frames == 0) {
        startFrame(); // input before the first frame belongs to it
    }
    record.frame = frames - 1;
    lines += formatInputRecord(record);
    lines += '\n';
    ++count;
    return true;
}

void InputRecorder::writeCheckpoint(std::uint64_t hash) {
    if (checkpoints == InputManager::MAX_INPUT_EVENTS) {
        return; // a file holds no more; the frames still go in
    }
    lines += formatCheckpoint({frames - 1, hash});
    lines += '\n';
    lastChecked = frames - 1;
    ++checkpoints;
}

void InputRecorder::handOver() {
    file->append(lines);
    lines.clear();
    frameStart = 0;
    lastWrite = std::chrono::steady_clock::now();
}

void InputRecorder::endFrame(std::uint64_t (*worldHash)()) {
    if (!inFrame) {
        return;
    }
    inFrame = false;
    // A checkpoint closes whole frames: what reaches the disk ends with one, so a file cut
    // short holds whole frames up to its last checkpoint. Slow frames write by the clock.
    const bool due = frames % CHECKPOINT_FRAMES == 0 || std::chrono::steady_clock::now() - lastWrite >= MOST_TIME_UNWRITTEN;
    if (due) {
        writeCheckpoint(worldHash());
        handOver();
    }
}

bool InputRecorder::finish(std::optional<std::uint64_t> lastHash) {
    if (inFrame) {
        // Its records are not the whole frame, and the world is half-way through it.
        lines.resize(frameStart);
        --frames;
        inFrame = false;
    } else if (lastHash && frames > 0 && lastChecked != frames - 1) {
        writeCheckpoint(*lastHash);
    }
    lines += "end " + std::to_string(frames) + '\n';
    handOver();
    if (!file->close()) {
        return false;
    }
    std::string why;
    if (!platform::replaceFile(partial, target, why)) {
        finishError = "cannot move it onto '" + target.string() + "': " + why;
        return false;
    }
    return true;
}

std::span<const InputRecord> InputReplay::nextFrame() {
    const std::size_t first = next;
    while (next < script.records.size() && script.records[next].frame == frame) {
        ++next;
    }
    if (!isOver()) {
        ++frame;
    }
    return std::span<const InputRecord>(script.records).subspan(first, next - first);
}

std::optional<Checkpoint> InputReplay::checkpointOfFrame() {
    const std::vector<Checkpoint>& checkpoints = script.checkpoints;
    if (frame == 0) {
        return std::nullopt;
    }
    const std::uint32_t played = frame - 1;
    // Checkpoints of frames that went by without being asked for are passed over.
    while (nextCheckpoint < checkpoints.size() && checkpoints[nextCheckpoint].frame < played) {
        ++nextCheckpoint;
    }
    if (nextCheckpoint < checkpoints.size() && checkpoints[nextCheckpoint].frame == played) {
        return checkpoints[nextCheckpoint++];
    }
    return std::nullopt;
}

} // namespace mx
