#include "Platform.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
#include <timeapi.h>
#else
#include <cerrno>
#include <time.h>
#endif

namespace mx::platform {

#ifdef _WIN32

void beginTimerResolution() { timeBeginPeriod(1); }

void endTimerResolution() { timeEndPeriod(1); }

void sleepMilliseconds(std::int64_t milliseconds) {
    if (milliseconds > 0) {
        Sleep(static_cast<DWORD>(milliseconds));
    }
}

#else

// POSIX sleeps already have (sub)millisecond resolution: nothing to ask for.
void beginTimerResolution() {}

void endTimerResolution() {}

void sleepMilliseconds(std::int64_t milliseconds) {
    if (milliseconds <= 0) {
        return;
    }
    timespec remaining{static_cast<time_t>(milliseconds / 1000),
                       static_cast<long>((milliseconds % 1000) * 1000000)};
    // A signal may cut the sleep short: sleep on for what is left.
    while (nanosleep(&remaining, &remaining) == -1 && errno == EINTR) {
    }
}

#endif

std::tm localTime() {
    const std::time_t now = std::time(nullptr);
    std::tm result{};
#ifdef _WIN32
    localtime_s(&result, &now);
#else
    localtime_r(&now, &result);
#endif
    return result;
}

} // namespace mx::platform
