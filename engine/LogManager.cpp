#include "LogManager.h"

#include <cstdio>
#include <ctime>
#include <sstream>
#include <string>

#include "GameManager.h"
#include "Platform.h"

namespace mx {

LogManager& LogManager::getInstance() {
    static Immortal<LogManager> instance;
    return instance.get();
}

int LogManager::startUpImpl() {
    file = std::make_unique<std::ofstream>(LOG_FILE, std::ios::out | std::ios::trunc);
    if (!file->good()) {
        std::fputs("ERROR: LogManager::startUp(): Failed to open 'Moltrix.log' for writing\n", stdout);
        shutDownImpl();
        return -1;
    }
    writeLog(1, "INFO: LogManager::startUp(): Successfully started log manager");
    return 0;
}

void LogManager::shutDownImpl() {
    if (file) {
        file->close();
        file.reset();
    }
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
