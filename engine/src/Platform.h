#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

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

/// What the engine does when the system ends the session (the user logs off or shuts
/// down) at a moment the program cannot return to its loop first: finish its files within
/// the call, for the process may end as soon as it returns.
using SessionEndHandler = void (*)();

/// Makes requests to stop the program end its game loop cleanly instead of killing it:
/// SIGINT and SIGTERM (a signal ignored when the program started stays ignored); on Windows
/// Ctrl-C, Ctrl-Break, closing the console, logging off and shutting down, and the end of
/// the session for a program without a console. The handlers only note the request, which
/// takeStopRequest hands to the loop; a second signal before the first was taken ends the
/// program at once, as without them. Where Windows ends the process when its handler
/// returns (console closed, log-off), the handler waits, a few seconds at most, for
/// releaseStopRequests, which the engine's shut-down calls.
void catchStopRequests(SessionEndHandler onSessionEnd);

/// Gives the stop requests back to the system's own handling.
void releaseStopRequests();

/// The request to stop that came since it was last taken ("SIGINT", "SIGTERM", "Ctrl-C",
/// "the console was closed", ...), or null. Taking it clears it.
[[nodiscard]] const char* takeStopRequest();

/// A file made for writing that did not exist before, so that nothing is ever written over;
/// unbuffered: what write returns from has reached the operating system, and sync asks it
/// to put that on the disk. Closed when destroyed. Each call may fail with the system's
/// reason in why ("No space left on device").
class NewFile {
public:
    NewFile() = default;
    ~NewFile();
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    /// Creates the file; false when it exists already or cannot be made.
    [[nodiscard]] bool create(const std::filesystem::path& path, std::string& why);
    /// Writes all the bytes.
    [[nodiscard]] bool write(std::string_view bytes, std::string& why);
    /// Waits until what was written is on the disk: may take long on a busy disk.
    [[nodiscard]] bool sync(std::string& why);
    /// Closes the file.
    [[nodiscard]] bool close(std::string& why);
    [[nodiscard]] bool isOpen() const { return handle != CLOSED; }

private:
    static constexpr std::intptr_t CLOSED = -1; ///< a file descriptor, or a HANDLE on Windows
    std::intptr_t handle = CLOSED;
};

/// Moves a file onto another name, replacing what is there in one step (never a moment
/// with neither), and puts the move on the disk where the platform can. False and why
/// when it cannot.
[[nodiscard]] bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to, std::string& why);

} // namespace mx::platform
