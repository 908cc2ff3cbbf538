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

/// Why no window can be opened, such as "DISPLAY is not set"; empty when there is a
/// display to open one on. Asked first, since the windowing library aborts without one.
[[nodiscard]] std::string displayProblem();

/// Shows a message that ends the program where a player sees it: on Windows, whose GUI
/// programs have no console, a message box with an error sign, which waits for OK. Nothing
/// elsewhere, where the terminal that started the program shows the log.
void showErrorMessage(const std::string& title, const std::string& text);

/// An exclusive lock on a file, held from construction until destruction, by which
/// another process (another copy of the same program) tells that the file is in use. It
/// is advisory: it keeps out only those that ask for it. Construction tries once and never
/// waits; the file is made when missing, and never emptied.
class FileLock {
public:
    /// What trying to lock the file gave.
    enum class State {
        HELD,        ///< this lock holds the file
        BUSY,        ///< another process holds it
        UNAVAILABLE, ///< the file cannot be opened, or its file system has no locks
    };

    explicit FileLock(const std::filesystem::path& file);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    /// What trying to lock the file gave.
    [[nodiscard]] State getState() const { return state; }

private:
    State state = State::UNAVAILABLE;
    std::intptr_t handle = -1; ///< the descriptor (a HANDLE on Windows) the lock is held through
};

/// Width and height in pixels.
struct PixelSize {
    unsigned width = 0;
    unsigned height = 0;
};

/// The part of the desktop that windows may use, without panels and task bars
/// (the work area), where the platform reports it.
[[nodiscard]] std::optional<PixelSize> workArea();

} // namespace mx::platform
