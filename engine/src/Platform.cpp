#include "Platform.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <timeapi.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#endif

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <string>
#include <system_error>
#include <vector>

#if !defined(_WIN32) && !defined(__APPLE__)
#define MX_X11 1
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#endif

namespace mx::platform {

#ifdef _WIN32

void beginTimerResolution() { timeBeginPeriod(1); }

void endTimerResolution() { timeEndPeriod(1); }

void sleepUntil(std::chrono::steady_clock::time_point wake) {
    using namespace std::chrono;
    // Sleep counts whole milliseconds of the 1 ms timer: it sleeps to within two of the
    // time, and the last stretch is waited out giving the processor away.
    for (auto left = wake - steady_clock::now(); left > nanoseconds::zero(); left = wake - steady_clock::now()) {
        if (left > milliseconds(2)) {
            Sleep(static_cast<DWORD>(duration_cast<milliseconds>(left).count() - 2));
        } else {
            SwitchToThread();
        }
    }
}

#else

// POSIX sleeps already have (sub)millisecond resolution: nothing to ask for.
void beginTimerResolution() {}

void endTimerResolution() {}

void sleepUntil(std::chrono::steady_clock::time_point wake) {
    using namespace std::chrono;
    const auto left = wake - steady_clock::now();
    if (left <= nanoseconds::zero()) {
        return;
    }
#if defined(__linux__)
    // The steady clock is CLOCK_MONOTONIC here: sleeping to an absolute time on it wakes
    // on time, and a signal that cuts the sleep short changes nothing in the target.
    const auto ns = duration_cast<nanoseconds>(wake.time_since_epoch()).count();
    const timespec at{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
    }
#else
    const auto ns = duration_cast<nanoseconds>(left).count();
    timespec remaining{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    // A signal may cut the sleep short: sleep on for what is left.
    while (nanosleep(&remaining, &remaining) == -1 && errno == EINTR) {
    }
#endif
}

#endif

#ifndef _WIN32

namespace {

/// An environment variable's value, or empty when unset.
std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

} // namespace

#endif

#ifdef _WIN32

double processorSeconds() {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
        return 0.0;
    }
    // Both in units of 100 ns.
    const auto ticks = [](const FILETIME& time) {
        return static_cast<double>((static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
    };
    return (ticks(kernel) + ticks(user)) / 1e7;
}

#else

double processorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
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

#ifdef _WIN32

std::filesystem::path executablePath() {
    std::wstring buffer(MAX_PATH, L'\0');
    while (true) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            buffer.resize(length);
            return std::filesystem::path(buffer);
        }
        buffer.resize(buffer.size() * 2); // cut short: try a longer buffer
    }
}

namespace {

/// A folder an environment variable names, read as UTF-16 so that a user name outside the
/// ANSI code page stays intact; empty when unset.
std::filesystem::path environmentFolder(const wchar_t* name) {
    const wchar_t* value = _wgetenv(name);
    return value != nullptr && *value != L'\0' ? std::filesystem::path(value) : std::filesystem::path();
}

} // namespace

std::filesystem::path userStateFolder() {
    return environmentFolder(L"LOCALAPPDATA");
}

std::filesystem::path userDataFolder() {
    // Roaming: scores and settings follow the user from machine to machine.
    return environmentFolder(L"APPDATA");
}

#else

std::filesystem::path executablePath() {
    std::error_code error;
    std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : path;
}

namespace {

/// An XDG base folder: the variable's value when it is absolute (a relative one is invalid
/// and must be ignored), else the fallback under the home folder.
std::filesystem::path xdgFolder(const char* variable, const char* underHome) {
    const std::filesystem::path folder = environment(variable);
    if (folder.is_absolute()) {
        return folder;
    }
    const std::string home = environment("HOME");
    return home.empty() ? std::filesystem::path() : std::filesystem::path(home) / underHome;
}

} // namespace

std::filesystem::path userStateFolder() {
    return xdgFolder("XDG_STATE_HOME", ".local/state");
}

std::filesystem::path userDataFolder() {
    return xdgFolder("XDG_DATA_HOME", ".local/share");
}

#endif

#ifdef MX_X11

namespace {

/// A connection to the X server, closed when it goes out of scope.
class XConnection {
public:
    XConnection() : display(XOpenDisplay(nullptr)) {}
    ~XConnection() {
        if (display != nullptr) {
            XCloseDisplay(display);
        }
    }
    XConnection(const XConnection&) = delete;
    XConnection& operator=(const XConnection&) = delete;
    [[nodiscard]] ::Display* get() const { return display; }

private:
    ::Display* display;
};

/// The 32-bit values of a property of the root window; empty when it is not set.
std::vector<long> rootProperty(::Display* display, const char* name) {
    std::vector<long> values;
    const Atom property = XInternAtom(display, name, True);
    if (property == None) {
        return values;
    }
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, DefaultRootWindow(display), property, 0, 1024, False, XA_CARDINAL, &type,
                           &format, &count, &remaining, &data) == Success &&
        data != nullptr) {
        if (format == 32) { // delivered as longs, whatever their size
            const long* longs = reinterpret_cast<const long*>(data);
            values.assign(longs, longs + count);
        }
        XFree(data);
    }
    return values;
}

} // namespace

std::string displayProblem() {
    const std::string name = environment("DISPLAY");
    if (name.empty()) {
        return "DISPLAY is not set";
    }
    const XConnection connection;
    return connection.get() == nullptr ? "cannot connect to display '" + name + "'" : "";
}

std::optional<PixelSize> workArea() {
    const XConnection connection;
    if (connection.get() == nullptr) {
        return std::nullopt;
    }
    // A window manager publishes x, y, width and height for each virtual desktop.
    const std::vector<long> areas = rootProperty(connection.get(), "_NET_WORKAREA");
    const std::vector<long> current = rootProperty(connection.get(), "_NET_CURRENT_DESKTOP");
    const std::size_t desktop = current.empty() ? 0 : static_cast<std::size_t>(current[0]);
    if (areas.size() < 4 * (desktop + 1)) {
        return std::nullopt;
    }
    const long width = areas[4 * desktop + 2];
    const long height = areas[4 * desktop + 3];
    if (width <= 0 || height <= 0) {
        return std::nullopt;
    }
    return PixelSize{static_cast<unsigned>(width), static_cast<unsigned>(height)};
}

#elif defined(_WIN32)

std::string displayProblem() {
    return "";
}

std::optional<PixelSize> workArea() {
    RECT area{};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0) || area.right <= area.left || area.bottom <= area.top) {
        return std::nullopt;
    }
    return PixelSize{static_cast<unsigned>(area.right - area.left), static_cast<unsigned>(area.bottom - area.top)};
}

#else

std::string displayProblem() {
    return "";
}

std::optional<PixelSize> workArea() {
    return std::nullopt;
}

#endif

#ifdef _WIN32

namespace {

/// The request to stop, set from the console's handler thread or the session window.
std::atomic<const char*> stopRequest{nullptr};
/// Signalled when the engine has shut down: a console handler may then let Windows end the process.
HANDLE released = nullptr;
HWND sessionWindow = nullptr;
SessionEndHandler sessionEnd = nullptr;

/// Windows' message for an error code, without its line end.
std::string systemMessage(DWORD code) {
    std::string text = std::system_category().message(static_cast<int>(code));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.')) {
        text.pop_back();
    }
    return text;
}

BOOL WINAPI onConsoleControl(DWORD type) {
    const char* what = nullptr;
    switch (type) {
    case CTRL_C_EVENT: what = "Ctrl-C"; break;
    case CTRL_BREAK_EVENT: what = "Ctrl-Break"; break;
    case CTRL_CLOSE_EVENT: what = "the console was closed"; break;
    case CTRL_LOGOFF_EVENT: what = "the user logs off"; break;
    case CTRL_SHUTDOWN_EVENT: what = "the system shuts down"; break;
    default: return FALSE;
    }
    const char* none = nullptr;
    const bool first = stopRequest.compare_exchange_strong(none, what);
    if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT) {
        return first ? TRUE : FALSE; // a second one, not yet seen: Windows' own handling ends the program
    }
    // Windows ends the process as soon as this returns: give the loop time to end cleanly.
    WaitForSingleObject(released, 4500);
    return TRUE;
}

/// The hidden window that hears the session end, for a program without a console.
LRESULT CALLBACK onSessionMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_QUERYENDSESSION) {
        const char* none = nullptr;
        stopRequest.compare_exchange_strong(none, "the session ends");
        return TRUE;
    }
    if (message == WM_ENDSESSION) {
        if (wParam != 0 && sessionEnd != nullptr) {
            sessionEnd(); // the process may end when this message returns
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void openSessionWindow() {
    static const wchar_t* const CLASS = L"MoltrixSession";
    static const bool registered = [] {
        WNDCLASSW type{};
        type.lpfnWndProc = onSessionMessage;
        type.hInstance = GetModuleHandleW(nullptr);
        type.lpszClassName = CLASS;
        return RegisterClassW(&type) != 0;
    }();
    if (registered && sessionWindow == nullptr) {
        // Top-level and never shown: such windows hear WM_QUERYENDSESSION, message-only ones do not.
        sessionWindow = CreateWindowExW(0, CLASS, L"", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                                        GetModuleHandleW(nullptr), nullptr);
    }
}

} // namespace

void catchStopRequests(SessionEndHandler onSessionEnd) {
    stopRequest = nullptr;
    sessionEnd = onSessionEnd;
    if (released == nullptr) {
        released = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    ResetEvent(released);
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
    openSessionWindow();
}

void releaseStopRequests() {
    if (sessionWindow != nullptr) {
        DestroyWindow(sessionWindow);
        sessionWindow = nullptr;
    }
    sessionEnd = nullptr;
    SetConsoleCtrlHandler(onConsoleControl, FALSE);
    if (released != nullptr) {
        SetEvent(released);
    }
}

const char* takeStopRequest() {
    // Messages sent to the session window arrive while the thread looks for its messages;
    // a windowed game looks every frame, a headless one only here.
    MSG message;
    while (sessionWindow != nullptr && PeekMessageW(&message, sessionWindow, 0, 0, PM_REMOVE)) {
        DispatchMessageW(&message);
    }
    return stopRequest.exchange(nullptr);
}

NewFile::~NewFile() {
    if (isOpen()) {
        CloseHandle(reinterpret_cast<HANDLE>(handle));
    }
}

bool NewFile::create(const std::filesystem::path& path, std::string& why) {
    // Others may read it meanwhile; nothing may write it.
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        why = systemMessage(GetLastError());
        return false;
    }
    handle = reinterpret_cast<std::intptr_t>(file);
    return true;
}

bool NewFile::write(std::string_view bytes, std::string& why) {
    while (!bytes.empty()) {
        DWORD written = 0;
        const auto size = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        if (!WriteFile(reinterpret_cast<HANDLE>(handle), bytes.data(), size, &written, nullptr)) {
            why = systemMessage(GetLastError());
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

bool NewFile::sync(std::string& why) {
    if (!FlushFileBuffers(reinterpret_cast<HANDLE>(handle))) {
        why = systemMessage(GetLastError());
        return false;
    }
    return true;
}

bool NewFile::close(std::string& why) {
    const bool closed = CloseHandle(reinterpret_cast<HANDLE>(handle)) != 0;
    handle = CLOSED;
    if (!closed) {
        why = systemMessage(GetLastError());
    }
    return closed;
}

bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to, std::string& why) {
    if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        why = systemMessage(GetLastError());
        return false;
    }
    return true;
}

void showErrorMessage(const std::string& title, const std::string& text) {
    // The engine's texts are in the ANSI code page, as std::filesystem gives paths here.
    const auto wide = [](const std::string& narrow) {
        std::wstring result(narrow.size() + 1, L'\0');
        const int length = MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()),
                                               result.data(), static_cast<int>(result.size()));
        result.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
        return result;
    };
    MessageBoxW(nullptr, wide(text).c_str(), wide(title).c_str(), MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

FileLock::FileLock(const std::filesystem::path& file) {
    HANDLE opened = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        return;
    }
    // Windows' locks are mandatory on their range, for the other handles of this process
    // too: one byte far past any log's end keeps the log's own writes free.
    OVERLAPPED at{};
    at.Offset = 0;
    at.OffsetHigh = 0x40000000;
    if (LockFileEx(opened, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        state = State::HELD;
        handle = reinterpret_cast<std::intptr_t>(opened);
        return;
    }
    state = GetLastError() == ERROR_LOCK_VIOLATION ? State::BUSY : State::UNAVAILABLE;
    CloseHandle(opened);
}

FileLock::~FileLock() {
    if (handle != -1) {
        CloseHandle(reinterpret_cast<HANDLE>(handle)); // lets the lock go
    }
}

#else

namespace {

/// The signal that asked to stop, 0 for none. Lock-free, so the handler may set it.
std::atomic<int> stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

constexpr int STOP_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previousActions[std::size(STOP_SIGNALS)];
bool caught[std::size(STOP_SIGNALS)] = {};

void noteStopSignal(int signal) {
    stopSignal = signal; // nothing else: only this is safe in a signal handler
}

std::string errorMessage(int code) {
    return std::generic_category().message(code);
}

} // namespace

void catchStopRequests(SessionEndHandler) {
    stopSignal = 0;
    for (std::size_t i = 0; i < std::size(STOP_SIGNALS); ++i) {
        struct sigaction previous {};
        if (caught[i] || sigaction(STOP_SIGNALS[i], nullptr, &previous) != 0 || previous.sa_handler == SIG_IGN) {
            continue; // ignored when the program started (nohup, a background job): it stays so
        }
        struct sigaction action {};
        action.sa_handler = noteStopSignal;
        sigemptyset(&action.sa_mask);
        // Once caught, the next one ends the program as it would have; calls under way go on.
        action.sa_flags = SA_RESETHAND | SA_RESTART;
        if (sigaction(STOP_SIGNALS[i], &action, nullptr) == 0) {
            previousActions[i] = previous;
            caught[i] = true;
        }
    }
}

void releaseStopRequests() {
    for (std::size_t i = 0; i < std::size(STOP_SIGNALS); ++i) {
        if (caught[i]) {
            sigaction(STOP_SIGNALS[i], &previousActions[i], nullptr);
            caught[i] = false;
        }
    }
}

const char* takeStopRequest() {
    switch (stopSignal.exchange(0)) {
    case 0: return nullptr;
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: return "a signal";
    }
}

NewFile::~NewFile() {
    if (isOpen()) {
        ::close(static_cast<int>(handle));
    }
}

bool NewFile::create(const std::filesystem::path& path, std::string& why) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        why = errorMessage(errno);
        return false;
    }
    handle = fd;
    return true;
}

bool NewFile::write(std::string_view bytes, std::string& why) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(static_cast<int>(handle), bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            why = errorMessage(written < 0 ? errno : ENOSPC);
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

bool NewFile::sync(std::string& why) {
#if defined(__linux__)
    const int result = ::fdatasync(static_cast<int>(handle));
#else
    const int result = ::fsync(static_cast<int>(handle));
#endif
    if (result != 0) {
        why = errorMessage(errno);
        return false;
    }
    return true;
}

bool NewFile::close(std::string& why) {
    const int result = ::close(static_cast<int>(handle));
    handle = CLOSED;
    if (result != 0) {
        why = errorMessage(errno);
        return false;
    }
    return true;
}

bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to, std::string& why) {
    if (::rename(from.c_str(), to.c_str()) != 0) {
        why = errorMessage(errno);
        return false;
    }
    // The new name is on the disk once its folder is.
    std::filesystem::path folder = to.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        (void)::fsync(fd);
        ::close(fd);
    }
    return true;
}

void showErrorMessage(const std::string&, const std::string&) {}

FileLock::FileLock(const std::filesystem::path& file) {
    const int descriptor = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (descriptor == -1) {
        return;
    }
    if (flock(descriptor, LOCK_EX | LOCK_NB) == 0) {
        state = State::HELD;
        handle = descriptor;
        return;
    }
    state = errno == EWOULDBLOCK ? State::BUSY : State::UNAVAILABLE;
    ::close(descriptor);
}

FileLock::~FileLock() {
    if (handle != -1) {
        ::close(static_cast<int>(handle)); // lets the lock go
    }
}

#endif

} // namespace mx::platform
