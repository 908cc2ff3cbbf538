#pragma once

#include <cstdarg>
#include <cstdint>
#include <fstream>
#include <memory>

#include "Immortal.h"
#include "Manager.h"

#if defined(__GNUC__) || defined(__clang__)
#define MX_PRINTF_FORMAT(formatIndex, firstArg) __attribute__((format(printf, formatIndex, firstArg)))
#else
#define MX_PRINTF_FORMAT(formatIndex, firstArg)
#endif

namespace mx {

/// The engine's diagnostic channel: printf-style lines, prefixed with the wall-clock
/// time and the frame count, written to standard output and to "Moltrix.log".
class LogManager : public Manager {
public:
    static constexpr const char* TYPE = "LogManager";
    static constexpr const char* LOG_FILE = "Moltrix.log";

    /// The one log manager, usable from first call until the process ends.
    static LogManager& getInstance();

    /// Writes one line; returns its length (prefixes and newline included),
    /// or -1 when the format cannot be applied.
    int writeLog(const char* format, ...) MX_PRINTF_FORMAT(2, 3);

    /// As writeLog, but does nothing and returns 0 when level exceeds the verbosity.
    int writeLog(std::uint8_t level, const char* format, ...) MX_PRINTF_FORMAT(3, 4);

    [[nodiscard]] bool getShowTime() const { return showTime; }
    void setShowTime(bool show) { showTime = show; }
    [[nodiscard]] bool getShowStepCount() const { return showStepCount; }
    void setShowStepCount(bool show) { showStepCount = show; }
    [[nodiscard]] std::uint8_t getVerbosity() const { return verbosity; }
    void setVerbosity(std::uint8_t level) { verbosity = level; }

private:
    friend class Immortal<LogManager>;
    LogManager() { setType(TYPE); }

    int startUpImpl() override;
    void shutDownImpl() override;

    /// The routine both forms share: compose, then write to the console and the file.
    int composeAndWrite(const char* format, std::va_list args);

    bool showTime = true;
    bool showStepCount = true;
    std::uint8_t verbosity = 0;
    std::unique_ptr<std::ofstream> file;
};

} // namespace mx
