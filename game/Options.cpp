#include "Options.h"

#include <charconv>

namespace {

/// The value of a whole positive number of frames, or nothing.
std::optional<std::uint32_t> frameCount(const std::string& text) {
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value == 0) {
        return std::nullopt;
    }
    return value;
}

/// Why a value given to a file option names no file, or nothing when it does: an empty
/// value, or the next option (its value was left out).
std::optional<std::string> whyNoFileName(const std::string& option, const std::string& value) {
    if (value.empty()) {
        return option + " needs a file name, not an empty one";
    }
    if (value.size() > 1 && value[0] == '-') {
        return option + " needs a file name, not the option '" + value + "' (for a file named so, write ./" + value + ")";
    }
    return std::nullopt;
}

} // namespace

const char* usage() {
    return "usage: moltrix [--headless [--real-time]] [--record FILE] [--replay FILE] [--frames N] [--verbose]\n"
           "  --headless     run without a window; needs no display. Frames follow one another at once\n"
           "  --real-time    with --headless: keep the 33 ms frame period all the same\n"
           "  --record FILE  record the session's input into FILE: written as the session goes into\n"
           "                 FILE.partial, which becomes FILE when the session ends (Q, the close button,\n"
           "                 Ctrl-C). An existing FILE is replaced only if it is a recording\n"
           "  --replay FILE  replay a recorded session instead of reading the window's keys and mouse,\n"
           "                 checking the world against the recording's checkpoints\n"
           "  --frames N     stop after N frames\n"
           "  --verbose      log the notices too: where the log is, which font, the data folder\n"
           "After a replay, a recording or N frames the program prints \"world hash: \" and 16 hex digits.\n"
           "Exit codes: 0 the run ended as asked; 1 a file was refused, or the recording or the log could\n"
           "not be written; 2 the command line makes no sense; 3 the replay differs from its recording\n"
           "(the log names the frame); 4 the replay's file was cut short, and played to its last\n"
           "checkpoint; 255 the engine cannot start.\n";
}

std::optional<ProgramOptions> parseOptions(const std::vector<std::string>& arguments, std::string& error) {
    ProgramOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& option = arguments[i];
        const bool needsValue = option == "--record" || option == "--replay" || option == "--frames";
        if (needsValue && i + 1 == arguments.size()) {
            error = option + " needs a value";
            return std::nullopt;
        }
        if (option == "--headless") {
            options.headless = true;
        } else if (option == "--real-time") {
            options.realTime = true;
        } else if (option == "--record" || option == "--replay") {
            std::filesystem::path& file = option == "--record" ? options.record : options.replay;
            if (!file.empty()) {
                error = option + " is given twice";
                return std::nullopt;
            }
            if (const auto why = whyNoFileName(option, arguments[++i])) {
                error = *why;
                return std::nullopt;
            }
            file = arguments[i];
        } else if (option == "--frames") {
            options.frames = frameCount(arguments[++i]);
            if (!options.frames) {
                error = "--frames needs a whole number from 1 to 4294967295, not '" + arguments[i] + "'";
                return std::nullopt;
            }
        } else if (option == "--verbose") {
            options.verbose = true;
        } else if (option == "--help" || option == "-h") {
            options.help = true;
        } else {
            error = "unknown option '" + option + "'";
            return std::nullopt;
        }
    }
    if (options.realTime && !options.headless) {
        error = "--real-time is for --headless runs: a window always keeps real time";
        return std::nullopt;
    }
    if (options.headless && options.replay.empty() && !options.frames) {
        error = "--headless needs --replay or --frames: without a window nothing else could end the run";
        return std::nullopt;
    }
    return options;
}
