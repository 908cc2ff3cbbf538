#pragma once

#include <cstdarg>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <mx/Manager.h>

namespace mx::platform {
class FileLock;
}

#if defined(__GNUC__) || defined(__clang__)
#define MX_PRINTF_FORMAT(formatIndex, firstArg) __attribute__((format(printf, formatIndex, firstArg)))
#else
#define MX_PRINTF_FORMAT(formatIndex, firstArg)
#endif

namespace mx {

/// The engine's diagnostic channel: printf-style lines, prefixed with the wall-clock
/// time and the frame count, written to standard output and to the log file
/// ("Moltrix.log" unless the game names its own).
class LogManager : public Manager {
public:
    static constexpr const char* TYPE = "LogManager"; ///< the type of the log manager
    /// The log file's name when the game sets none.
    static constexpr const char* LOG_FILE = "Moltrix.log";

    /// The one log manager, usable from first call until the process ends.
    static LogManager& getInstance();

    /// Writes one line; returns its length (prefixes and newline included),
    /// or -1 when the format cannot be applied.
    int writeLog(const char* format, ...) MX_PRINTF_FORMAT(2, 3);

    /// As writeLog, but does nothing and returns 0 when level exceeds the verbosity.
    int writeLog(std::uint8_t level, const char* format, ...) MX_PRINTF_FORMAT(3, 4);

    /// Tells the player that the program cannot go on, where it has no console to say so:
    /// on Windows a message box with what, the last ERROR line logged since start-up and
    /// where the log is, which waits for OK. Nothing on other systems, whose terminal shows
    /// the log, nor on a headless display. It writes no log line: log what happened first.
    void showFatal(const std::string& what) const;

    /// Names the log file, emptied at each start-up. Set it before start-up; a relative
    /// name is opened in the working folder, or, where that cannot be written, in the
    /// user's state folder ($XDG_STATE_HOME or ~/.local/state, in a folder named after
    /// the file in lower case: "Moltrix.log" goes to .../moltrix/Moltrix.log). The log is
    /// locked while written: a second copy of the program started in the same folder
    /// leaves it whole and logs in the state folder too, to the first of NAME.log,
    /// NAME-2.log, ... that no other copy holds, and its first line says so.
    void setLogFile(std::filesystem::path name) { logFile = std::move(name); }
    /// The log file's name, as set (LOG_FILE by default).
    [[nodiscard]] const std::filesystem::path& getLogFile() const { return logFile; }
    /// Where the log is being written; empty when not started.
    [[nodiscard]] const std::filesystem::path& getLogPath() const { return logPath; }

    /// Whether lines start with the wall-clock time (true by default).
    [[nodiscard]] bool getShowTime() const { return showTime; }
    /// Starts lines with the wall-clock time, or not.
    void setShowTime(bool show) { showTime = show; }
    /// Whether lines start with the frame count (true by default).
    [[nodiscard]] bool getShowStepCount() const { return showStepCount; }
    /// Starts lines with the frame count, or not.
    void setShowStepCount(bool show) { showStepCount = show; }
    /// The highest level a levelled line may have and still be written (0 by default).
    [[nodiscard]] std::uint8_t getVerbosity() const { return verbosity; }
    /// Sets the highest level written: 1 start and exit notices (where the log, the font and
    /// the data folder are), 2 frame profiles, 3 lag. Set it before start-up to see them all.
    void setVerbosity(std::uint8_t level) { verbosity = level; }

    /// How many lines since the last start-up could not be written to the log file (a full
    /// disk, say): the first such failure is said once on standard error, and a program
    /// that ends with lines lost should not report success. Kept after shut-down.
    [[nodiscard]] unsigned long long getLostLineCount() const { return lostLines; }

private:
    friend class Immortal<LogManager>;
    LogManager();
    ~LogManager();

    int startUpImpl() override;
    void shutDownImpl() override;

    /// The most copies of a program that log beside one another in the state folder.
    static constexpr int MAX_COPIES = 16;

    /// What opening a log file gave.
    enum class Opened { YES, NO, BUSY };
    /// Locks the log file at path and opens it, emptying it; BUSY when another process
    /// holds it, NO when it cannot be written.
    Opened open(const std::filesystem::path& path);
    /// Opens the first of path, path's NAME-2, NAME-3, ... that no other process holds
    /// (from NAME-2 on with skipFirst); false when none can be had.
    bool openFirstFree(const std::filesystem::path& path, bool skipFirst);

    /// The routine both forms share: compose, then write to the console and the file.
    int composeAndWrite(const char* format, std::va_list args);
    /// Counts a line the file did not take, saying so on standard error the first time.
    void noteLostLine(int cause);

    bool showTime = true;
    bool showStepCount = true;
    std::uint8_t verbosity = 0;
    std::unique_ptr<std::ofstream> file;
    std::unique_ptr<platform::FileLock> fileLock; ///< held while the file is written
    std::filesystem::path logFile = LOG_FILE;
    std::filesystem::path logPath;
    std::filesystem::path lastLogPath; ///< where the last start-up logged, absolute, kept after shut-down
    std::string lastError;             ///< the last ERROR line since start-up, for showFatal
    unsigned long long lostLines = 0;  ///< lines the file did not take since start-up
};

} // namespace mx
