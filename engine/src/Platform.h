#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>

/// The few operating-system calls the engine makes, behind one interface:
/// the Windows multimedia timer and Sleep there, POSIX equivalents elsewhere.
namespace mx::platform {

/// Asks for 1-millisecond timer resolution so that sleeps end on time.
void beginTimerResolution();

/// Gives the timer resolution back.
void endTimerResolution();

/// Sleeps until the steady clock reaches the given time, waking as close to it as the
/// platform can (within a few tenths of a millisecond); a time already past returns at once.
void sleepUntil(std::chrono::steady_clock::time_point wake);

/// The processor time the process has used so far, user and system, in seconds.
[[nodiscard]] double processorSeconds();

/// The local wall-clock time, at one-second resolution.
[[nodiscard]] std::tm localTime();

/// The running program's file, or an empty path where the platform does not tell.
[[nodiscard]] std::filesystem::path executablePath();

/// The user's folder for files a program keeps between runs but nobody edits, such
/// as logs: $XDG_STATE_HOME or ~/.local/state (%LOCALAPPDATA% on Windows); empty when unknown.
[[nodiscard]] std::filesystem::path userStateFolder();

/// The user's folder for files a program keeps between runs and that are the user's own,
/// such as scores and settings: $XDG_DATA_HOME or ~/.local/share (%APPDATA% on Windows);
/// empty when unknown.
[[nodiscard]] std::filesystem::path userDataFolder();

/// Why no window can be opened, such as "DISPLAY is not set"; empty when there is a
/// display to open one on. Asked first, since the windowing library aborts without one.
[[nodiscard]] std::string displayProblem();

/// Width and height in pixels.
struct PixelSize {
    unsigned width = 0;
    unsigned height = 0;
};

/// The part of the desktop that windows may use, without panels and task bars
/// (the work area), where the platform reports it.
[[nodiscard]] std::optional<PixelSize> workArea();

} // namespace mx::platform
