#include <mx/LogManager.h>

#include <cctype>
#include <cstdio>
#include <ctime>
#include <sstream>
#include <string>

#include <mx/GameManager.h>

#include "Immortal.h"
#include "Platform.h"

namespace mx {

LogManager& LogManager::getInstance() {
    static Immortal<LogManager> instance;
    return instance.get();
}

int LogManager::startUpImpl() {
    if (open(logFile)) {
        writeLog(1, "INFO: LogManager::startUp(): Successfully started log manager");
        std::error_code error;
        writeLog("INFO: LogManager::startUp(): Logging to '%s'",
                 std::filesystem::absolute(logPath, error).string().c_str());
        return 0;
    }
    // A program started from a folder it cannot write (an installed game, say) still logs.
    const std::filesystem::path state = platform::userStateFolder();
    if (logFile.is_relative() && !state.empty()) {
        std::string folder = logFile.stem().string();
        for (char& c : folder) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        std::error_code error;
        std::filesystem::create_directories(state / folder, error);
        if (open(state / folder / logFile)) {
            writeLog("INFO: LogManager::startUp(): Cannot write '%s' in the working folder: logging to '%s'",
                     logFile.string().c_str(), logPath.string().c_str());
            return 0;
        }
    }
    std::printf("ERROR: LogManager::startUp(): Failed to open '%s' for writing\n", logFile.string().c_str());
    shutDownImpl();
    return -1;
}

bool LogManager::open(const std::filesystem::path& path) {
    file = std::make_unique<std::ofstream>(path, std::ios::out | std::ios::trunc);
    if (!file->good()) {
        file.reset();
        return false;
    }
    logPath = path;
    return true;
}

void LogManager::shutDownImpl() {
    if (file) {
        file->close();
        file.reset();
    }
    logPath.clear();
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
    std::fwrite(text.data(), 1, text.size(), stdout);
    if (file) {
        // Flushed line by line: what was logged must survive a crash. Lines are rare
        // (the per-frame ones are levelled out), so this costs nothing noticeable.
        *file << text << std::flush;
    } else {
        std::fputs("WARNING: LogManager::writeLog(): Log Manager has not started up. "
                   "Cannot write to log file.\n", stdout);
        std::fflush(stdout);
    }
    return static_cast<int>(text.size());
}

} // namespace mx
