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
#endif

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

std::filesystem::path userStateFolder() {
    // Read as UTF-16: a user name outside the ANSI code page stays intact.
    const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
    return local != nullptr && *local != L'\0' ? std::filesystem::path(local) : std::filesystem::path();
}

#else

std::filesystem::path executablePath() {
    std::error_code error;
    std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : path;
}

std::filesystem::path userStateFolder() {
    // XDG: a relative value is invalid and must be ignored.
    const std::filesystem::path state = environment("XDG_STATE_HOME");
    if (state.is_absolute()) {
        return state;
    }
    const std::string home = environment("HOME");
    return home.empty() ? std::filesystem::path() : std::filesystem::path(home) / ".local" / "state";
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
