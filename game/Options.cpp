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

} // namespace

const char* usage() {
    return "usage: moltrix [--headless [--real-time]] [--record FILE] [--replay FILE] [--frames N]\n"
           "  --headless     run without a window; needs no display. Frames follow one another at once\n"
           "  --real-time    with --headless: keep the 33 ms frame period all the same\n"
           "  --record FILE  record the session's input into FILE, written when the program ends\n"
           "  --replay FILE  replay a recorded session instead of reading the window's keys and mouse\n"
           "  --frames N     stop after N frames\n"
           "After a replay, a recording or N frames the program prints \"world hash: \" and 16 hex digits.\n";
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
        } else if (option == "--record") {
            options.record = arguments[++i];
        } else if (option == "--replay") {
            options.replay = arguments[++i];
        } else if (option == "--frames") {
            options.frames = frameCount(arguments[++i]);
            if (!options.frames) {
                error = "--frames needs a whole number from 1 to 4294967295, not '" + arguments[i] + "'";
                return std::nullopt;
            }
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
