#pragma once

#include <cstdint>
#include <ctime>

/// The few operating-system calls the engine makes, behind one interface:
/// the Windows multimedia timer and Sleep there, POSIX equivalents elsewhere.
namespace mx::platform {

/// Asks for 1-millisecond timer resolution so that sleeps end on time.
void beginTimerResolution();

/// Gives the timer resolution back.
void endTimerResolution();

/// Sleeps for about the given number of milliseconds; 0 or less returns at once.
void sleepMilliseconds(std::int64_t milliseconds);

/// The local wall-clock time, at one-second resolution.
[[nodiscard]] std::tm localTime();

} // namespace mx::platform
