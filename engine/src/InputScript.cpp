#include "InputScript.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cctype>
#include <cmath>
#include <istream>
#include <string_view>

#include <mx/EventJoystick.h>
#include <mx/EventKeyboard.h>
#include <mx/EventMouseWheel.h>
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

/// SFML's mouse buttons by number.
constexpr std::array<std::string_view, 5> BUTTON_NAMES = {"left", "right", "middle", "extra1", "extra2"};

constexpr std::array<std::string_view, 3> MOUSE_ACTIONS = {"pressed", "released", "moved"};
constexpr std::array<std::string_view, 2> KEY_ACTIONS = {"pressed", "released"};

/// The words of format version 2's kinds: wheels, joystick actions and axes by number.
constexpr std::array<std::string_view, 2> WHEEL_NAMES = {"vertical", "horizontal"};
constexpr std::array<std::string_view, 5> JOYSTICK_ACTIONS = {"pressed", "released", "moved", "connected",
                                                              "disconnected"};
constexpr std::array<std::string_view, 8> AXIS_NAMES = {"x", "y", "z", "r", "u", "v", "povx", "povy"};

/// Whether a key was in the first format's table: version 1 files hold no other.
bool isVersion1Key(int code) {
    return code >= Keyboard::UNDEFINED_KEY && code <= Keyboard::RBRACKET && code != Keyboard::LSHIFT;
}

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

    /// One parser per kind of line, by the word after the frame number.
    std::optional<std::string> parseKey(InputRecord& record) const;
    std::optional<std::string> parseMouse(InputRecord& record) const;
    std::optional<std::string> parseClose(InputRecord& record) const;
    std::optional<std::string> parseForgetHeld(InputRecord& record) const;
    std::optional<std::string> parseText(InputRecord& record) const;
    std::optional<std::string> parseWheel(InputRecord& record) const;
    std::optional<std::string> parseJoystick(InputRecord& record) const;

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
    std::uint32_t version = 0;  ///< the file's format version
};

/// The kinds of line after a frame number, each with its parser and the first format
/// version that has it.
struct LineKind {
    std::string_view word;
    std::optional<std::string> (ScriptReader::*parse)(InputRecord&) const;
    std::uint32_t since;
};

constexpr LineKind LINE_KINDS[] = {
    {"key", &ScriptReader::parseKey, 1},
    {"mouse", &ScriptReader::parseMouse, 1},
    {"close", &ScriptReader::parseClose, 1},
    {"forget-held", &ScriptReader::parseForgetHeld, 1},
    {"text", &ScriptReader::parseText, 2},
    {"wheel", &ScriptReader::parseWheel, 2},
    {"joystick", &ScriptReader::parseJoystick, 2},
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
    for (const LineKind& kind : LINE_KINDS) {
        if (kind.word == what) {
            if (version < kind.since) {
                return "'" + std::string(what) + "' lines come with format version " + std::to_string(kind.since) +
                       "; this file is version " + std::to_string(version);
            }
            return (this->*kind.parse)(record);
        }
    }
    return "expected 'key', 'mouse', 'close', 'forget-held', 'text', 'wheel' or 'joystick' after the frame number";
}

std::optional<std::string> ScriptReader::parseKey(InputRecord& record) const {
    if (fieldCount != 4) {
        return "expected 'key pressed|released KEY'";
    }
    const int action = indexOf(KEY_ACTIONS, fields[2]);
    const std::optional<Keyboard::Key> key = Keyboard::fromName(fields[3]);
    if (action < 0) {
        return "a key is pressed or released, not " + quoted(fields[2]);
    }
    if (!key || (version < 2 && !isVersion1Key(*key))) {
        return "no key is named " + quoted(fields[3]) + (key ? " in format version 1" : "");
    }
    record.kind = InputRecord::Kind::KEY;
    record.action = static_cast<std::int8_t>(action);
    record.code = static_cast<std::int8_t>(*key);
    return std::nullopt;
}

std::optional<std::string> ScriptReader::parseMouse(InputRecord& record) const {
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

std::optional<std::string> ScriptReader::parseClose(InputRecord& record) const {
    if (fieldCount != 2) {
        return "expected 'close' alone";
    }
    record.kind = InputRecord::Kind::CLOSE;
    return std::nullopt;
}

std::optional<std::string> ScriptReader::parseForgetHeld(InputRecord& record) const {
    if (fieldCount != 2) {
        return "expected 'forget-held' alone";
    }
    record.kind = InputRecord::Kind::FORGET_HELD;
    return std::nullopt;
}

std::optional<std::string> ScriptReader::parseText(InputRecord& record) const {
    // U+ and one to six hexadecimal digits: a Unicode scalar value.
    std::uint32_t value = 0;
    const bool form = fieldCount == 3 && fields[2].size() >= 3 && fields[2].size() <= 8 && fields[2].starts_with("U+");
    const std::string_view digits = form ? fields[2].substr(2) : std::string_view();
    const char* end = digits.data() + digits.size();
    const bool number = form && std::from_chars(digits.data(), end, value, 16).ptr == end;
    if (!number || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return "expected 'text U+XXXX', a Unicode character by its hexadecimal number";
    }
    record.kind = InputRecord::Kind::TEXT;
    record.character = static_cast<char32_t>(value);
    return std::nullopt;
}

std::optional<std::string> ScriptReader::parseWheel(InputRecord& record) const {
    const int wheel = fieldCount == 6 ? indexOf(WHEEL_NAMES, fields[2]) : -1;
    if (wheel < 0 || !parseCoordinate(fields[3], record.amount)) {
        return "expected 'wheel vertical|horizontal NOTCHES X Y'";
    }
    if (!parseCoordinate(fields[4], record.position.x) || !parseCoordinate(fields[5], record.position.y)) {
        return "the pointer's cell is not two numbers: " + quoted(fields[4]) + " " + quoted(fields[5]);
    }
    record.kind = InputRecord::Kind::WHEEL;
    record.action = static_cast<std::int8_t>(wheel);
    return std::nullopt;
}

std::optional<std::string> ScriptReader::parseJoystick(InputRecord& record) const {
    constexpr const char* FORM = "expected 'joystick N pressed|released BUTTON', 'joystick N moved AXIS POSITION' or "
                                 "'joystick N connected|disconnected'";
    int joystick = -1;
    const int action = fieldCount > 3 ? indexOf(JOYSTICK_ACTIONS, fields[3]) : -1;
    if (fieldCount < 4 || !parse(fields[2], joystick) || joystick < 0 || joystick >= Joystick::COUNT || action < 0) {
        return FORM;
    }
    record.kind = InputRecord::Kind::JOYSTICK;
    record.action = static_cast<std::int8_t>(action);
    record.device = static_cast<std::uint8_t>(joystick);
    record.code = -1;
    if (action == JOYSTICK_PRESSED || action == JOYSTICK_RELEASED) {
        int button = -1;
        if (fieldCount != 5 || !parse(fields[4], button) || button < 0 || button >= Joystick::BUTTON_COUNT) {
            return "expected 'joystick N pressed|released BUTTON', a button from 0 to 31";
        }
        record.code = static_cast<std::int8_t>(button);
    } else if (action == JOYSTICK_MOVED) {
        const int axis = fieldCount == 6 ? indexOf(AXIS_NAMES, fields[4]) : -1;
        if (axis < 0 || !parseCoordinate(fields[5], record.amount) || std::abs(record.amount) > 100.0f) {
            return "expected 'joystick N moved x|y|z|r|u|v|povx|povy POSITION', a position from -100 to 100";
        }
        record.code = static_cast<std::int8_t>(axis);
    } else if (fieldCount != 4) {
        return FORM;
    }
    return std::nullopt;
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
    if (readLine() != Line::TEXT || fieldCount != 2 || fields[0] != MAGIC) {
        return error("not an input file: its first line must be 'moltrix-input <version>'");
    }
    // A version of digits alone is one, however large: a later engine's file is told as such.
    constexpr std::size_t SHOWN_DIGITS = 24;
    const std::string_view versionText = fields[1];
    const std::string shown = versionText.size() <= SHOWN_DIGITS
                                  ? std::string(versionText)
                                  : std::string(versionText.substr(0, SHOWN_DIGITS)) + "...";
    if (versionText.find_first_not_of("0123456789") != std::string_view::npos ||
        versionText.find_first_not_of('0') == std::string_view::npos) {
        return error("the format version must be a whole number from 1 on, not '" + shown + "'");
    }
    if (!parse(versionText, version) || version > InputManager::INPUT_FILE_VERSION) {
        return error("format version " + shown + " is newer than this engine reads (" +
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

namespace {

void appendCell(std::string& text, Vector at) {
    text += ' ';
    appendNumber(text, at.x); // the shortest text that reads back as the same float
    text += ' ';
    appendNumber(text, at.y);
}

void appendKey(std::string& text, const InputRecord& record) {
    text += " key ";
    text += KEY_ACTIONS.at(static_cast<std::size_t>(record.action));
    text += ' ';
    text += Keyboard::getName(static_cast<Keyboard::Key>(record.code));
}

void appendMouse(std::string& text, const InputRecord& record) {
    text += " mouse ";
    text += MOUSE_ACTIONS.at(static_cast<std::size_t>(record.action));
    if (record.action != MOVED) {
        text += ' ';
        text += BUTTON_NAMES.at(static_cast<std::size_t>(record.code));
    }
    appendCell(text, record.position);
}

void appendText(std::string& text, const InputRecord& record) {
    char digits[16];
    const auto result = std::to_chars(digits, digits + sizeof digits, static_cast<std::uint32_t>(record.character), 16);
    std::string hex(digits, result.ptr);
    for (char& c : hex) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    text += " text U+";
    text.append(hex.size() < 4 ? 4 - hex.size() : 0, '0');
    text += hex;
}

void appendWheel(std::string& text, const InputRecord& record) {
    text += " wheel ";
    text += WHEEL_NAMES.at(static_cast<std::size_t>(record.action));
    text += ' ';
    appendNumber(text, record.amount);
    appendCell(text, record.position);
}

void appendJoystick(std::string& text, const InputRecord& record) {
    text += " joystick ";
    appendNumber(text, static_cast<int>(record.device));
    text += ' ';
    text += JOYSTICK_ACTIONS.at(static_cast<std::size_t>(record.action));
    if (record.action == JOYSTICK_PRESSED || record.action == JOYSTICK_RELEASED) {
        text += ' ';
        appendNumber(text, static_cast<int>(record.code));
    } else if (record.action == JOYSTICK_MOVED) {
        text += ' ';
        text += AXIS_NAMES.at(static_cast<std::size_t>(record.code));
        text += ' ';
        appendNumber(text, record.amount);
    }
}

} // namespace

std::string formatInputRecord(const InputRecord& record) {
    std::string text;
    appendNumber(text, record.frame);
    switch (record.kind) {
    case InputRecord::Kind::KEY: appendKey(text, record); break;
    case InputRecord::Kind::MOUSE: appendMouse(text, record); break;
    case InputRecord::Kind::CLOSE: text += " close"; break;
    case InputRecord::Kind::FORGET_HELD: text += " forget-held"; break;
    case InputRecord::Kind::TEXT: appendText(text, record); break;
    case InputRecord::Kind::WHEEL: appendWheel(text, record); break;
    case InputRecord::Kind::JOYSTICK: appendJoystick(text, record); break;
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
