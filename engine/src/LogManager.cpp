#include <mx/LogManager.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sstream>
#include <string>

#include <mx/DisplayManager.h>
#include <mx/GameManager.h>

#include "Immortal.h"
#include "Platform.h"

namespace mx {

LogManager& LogManager::getInstance() {
    static Immortal<LogManager> instance;
    return instance.get();
}

LogManager::LogManager() {
    setType(TYPE);
}

LogManager::~LogManager() = default;

int LogManager::startUpImpl() {
    lostLines = 0;
    lastError.clear();
    lastLogPath.clear();
    const Opened here = open(logFile);
    if (here == Opened::YES) {
        writeLog(1, "INFO: LogManager::startUp(): Successfully started log manager");
        writeLog(1, "INFO: LogManager::startUp(): Logging to '%s'", lastLogPath.string().c_str());
        return 0;
    }
    // A program started from a folder it cannot write (an installed game, say), or beside a
    // copy of itself that is logging there, still logs: in the user's state folder.
    const std::filesystem::path state = platform::userStateFolder();
    std::filesystem::path elsewhere;
    if (logFile.is_relative() && !state.empty()) {
        std::string folder = logFile.stem().string();
        for (char& c : folder) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        std::error_code error;
        std::filesystem::create_directories(state / folder, error);
        elsewhere = state / folder / logFile;
    } else if (here == Opened::BUSY) {
        elsewhere = logFile;
    }
    if (!elsewhere.empty() && openFirstFree(elsewhere, here == Opened::BUSY && elsewhere == logFile)) {
        if (here == Opened::BUSY) {
            writeLog("INFO: LogManager::startUp(): '%s' is in use by another copy of the program: logging to '%s'",
                     logFile.string().c_str(), logPath.string().c_str());
        } else {
            writeLog("INFO: LogManager::startUp(): Cannot write '%s' in the working folder: logging to '%s'",
                     logFile.string().c_str(), logPath.string().c_str());
        }
        return 0;
    }
    std::printf("ERROR: LogManager::startUp(): Failed to open '%s' for writing\n", logFile.string().c_str());
    lastError = "ERROR: LogManager::startUp(): Failed to open '" + logFile.string() + "' for writing";
    shutDownImpl();
    return -1;
}

bool LogManager::openFirstFree(const std::filesystem::path& path, bool skipFirst) {
    // Copies beside one another take the first free of NAME.log, NAME-2.log, NAME-3.log, ...
    for (int copy = skipFirst ? 2 : 1; copy <= MAX_COPIES; ++copy) {
        std::filesystem::path candidate = path;
        if (copy > 1) {
            candidate.replace_filename(path.stem().string() + "-" + std::to_string(copy) + path.extension().string());
        }
        const Opened opened = open(candidate);
        if (opened != Opened::BUSY) {
            return opened == Opened::YES;
        }
    }
    return false;
}

LogManager::Opened LogManager::open(const std::filesystem::path& path) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        return Opened::NO; // a folder, or a FIFO that would block the first write or the open
    }
    // Locked before it is emptied: another copy's log, still being written, stays whole.
    auto lock = std::make_unique<platform::FileLock>(path);
    if (lock->getState() == platform::FileLock::State::BUSY) {
        return Opened::BUSY;
    }
    file = std::make_unique<std::ofstream>(path, std::ios::out | std::ios::trunc);
    if (!file->good()) {
        file.reset();
        return Opened::NO;
    }
    fileLock = std::move(lock);
    logPath = path;
    lastLogPath = std::filesystem::absolute(path, error);
    return Opened::YES;
}

void LogManager::shutDownImpl() {
    if (file) {
        file->close();
        file.reset();
    }
    fileLock.reset();
    logPath.clear();
}

void LogManager::noteLostLine(int cause) {
    if (lostLines++ == 0) {
        // Said once, where the person who started the program sees it: the log itself cannot.
        std::fprintf(stderr, "ERROR: LogManager::writeLog(): Cannot write to '%s' (%s): the log's lines from here on are lost\n",
                     logPath.string().c_str(), cause != 0 ? std::strerror(cause) : "the write failed");
        std::fflush(stderr);
    }
}

void LogManager::showFatal(const std::string& what) const {
    const DisplayManager& display = DisplayManager::getInstance();
    if (display.isHeadless()) {
        return; // nobody looks at a screen
    }
    std::string text = what;
    if (!lastError.empty() && lastError != what) {
        text += "\n\n" + lastError;
    }
    text += lastLogPath.empty() ? "\n\nNo log could be written." : "\n\nThe log says more: " + lastLogPath.string();
    platform::showErrorMessage(display.getWindowTitle(), text);
}

int LogManager::writeLog(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    const int result = composeAndWrite(format, args);
    va_end(args);
    return result;
}

int LogManager::writeLog(std::uint8_t level, const char* format, ...) {
    if (level > verbosity) {
        return 0;
    }
    std::va_list args;
    va_start(args, format);
    const int result = composeAndWrite(format, args);
    va_end(args);
    return result;
}

int LogManager::composeAndWrite(const char* format, std::va_list args) {
    std::va_list measureArgs;
    va_copy(measureArgs, args);
    const int length = std::vsnprintf(nullptr, 0, format, measureArgs);
    va_end(measureArgs);
    if (length < 0) {
        writeLog("ERROR: LogManager::writeLog(): failed to format string: '%s'", format);
        return -1;
    }

    std::string message(static_cast<std::size_t>(length) + 1, '\0');
    std::vsnprintf(message.data(), message.size(), format, args);
    message.resize(static_cast<std::size_t>(length));
    if (message.compare(0, 5, "ERROR") == 0) {
        lastError = message; // the reason a fatal error's message gives
    }

    std::ostringstream line;
    if (showTime) {
        const std::tm now = platform::localTime();
        char clock[16];
        std::snprintf(clock, sizeof clock, "%02d:%02d:%02d", now.tm_hour, now.tm_min, now.tm_sec);
        line << clock << ' ';
    }
    if (showStepCount) {
        line << GameManager::getInstance().getStepCount() << ' ';
    }
    line << message << '\n';

    const std::string text = line.str();
    // Flushed line by line, to a pipe or a file as to a terminal: what was logged is there
    // after a crash or Ctrl-C. Lines are rare (the per-frame ones are levelled out).
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    if (file) {
        errno = 0;
        *file << text << std::flush; // after a failure the stream stays failed: no line is half kept
        if (!file->good()) {
            noteLostLine(errno);
        }
    } else {
        std::fputs("WARNING: LogManager::writeLog(): Log Manager has not started up. "
                   "Cannot write to log file.\n", stdout);
        std::fflush(stdout);
    }
    return static_cast<int>(text.size());
}

} // namespace mx
