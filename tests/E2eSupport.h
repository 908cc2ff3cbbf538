#pragma once
// Support for end-to-end tests: the real program as a child process, the player's
// keyboard and mouse through xdotool, screenshots of the virtual display, and
// pictures of text drawn the way the game draws its cells.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <locale>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <SFML/Graphics.hpp>
#include <gtest/gtest.h>

#include "DisplayTestSupport.h"
#include "TestSupport.h"

namespace e2e {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The window fills the 1024x768 screen at (0, 0): 80x24 cells of 12.8x32 pixels.
constexpr int SCREEN_WIDTH = 1024;
constexpr int SCREEN_HEIGHT = 768;
constexpr float CELL_WIDTH = 12.8f;
constexpr float CELL_HEIGHT = 32.0f;
constexpr unsigned FONT_SIZE = 30;

const sf::Color BACKGROUND{0, 25, 0};
const sf::Color LOGO_GREEN{0, 255, 0};
const sf::Color GAME_OVER_RED{255, 0, 0};
const sf::Color HERO_GREEN{57, 250, 128};
const sf::Color CALLING_ORANGE{252, 107, 3};
const sf::Color FLOCK[4] = {{255, 0, 255}, {255, 255, 0}, {255, 127, 0}, {0, 255, 255}};
const char* const FLOCK_NAMES[4] = {"magenta", "yellow", "orange", "cyan"};

inline bool sameColor(sf::Color a, sf::Color b) {
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

/// A rectangle of screen pixels; right and bottom are outside it.
struct Area {
    int left = 0;
    int top = 0;
    int right = SCREEN_WIDTH;
    int bottom = SCREEN_HEIGHT;

    [[nodiscard]] bool contains(int x, int y) const { return left <= x && x < right && top <= y && y < bottom; }
};

const Area SCREEN{};

/// The pixels a rasteriser fills for cells (col, row) to (col + cols, row + rows):
/// those whose centres lie inside.
inline Area cellArea(float col, float row, float cols = 1.0f, float rows = 1.0f) {
    const auto edge = [](float v) { return static_cast<int>(std::ceil(v - 0.5f)); };
    return {edge(CELL_WIDTH * col), edge(CELL_HEIGHT * row), edge(CELL_WIDTH * (col + cols)),
            edge(CELL_HEIGHT * (row + rows))};
}

template <typename Predicate>
int countPixels(const sf::Image& image, const Area& area, Predicate predicate) {
    const sf::Vector2u size = image.getSize();
    const int right = std::min(area.right, static_cast<int>(size.x));
    const int bottom = std::min(area.bottom, static_cast<int>(size.y));
    int count = 0;
    for (int y = std::max(area.top, 0); y < bottom; ++y) {
        for (int x = std::max(area.left, 0); x < right; ++x) {
            if (predicate(image.getPixel({static_cast<unsigned>(x), static_cast<unsigned>(y)}), x, y)) {
                ++count;
            }
        }
    }
    return count;
}

/// Pixels of exactly this colour in the area.
inline int countColor(const sf::Image& image, const Area& area, sf::Color color) {
    return countPixels(image, area, [color](sf::Color c, int, int) { return sameColor(c, color); });
}

/// Pixels of this colour outside the area (anywhere on the screen).
inline int countColorOutside(const sf::Image& image, const Area& area, sf::Color color) {
    return countPixels(image, SCREEN,
                       [&](sf::Color c, int x, int y) { return sameColor(c, color) && !area.contains(x, y); });
}

/// Pixels in the area that are not the window's background colour.
inline int countNotBackground(const sf::Image& image, const Area& area) {
    return countPixels(image, area, [](sf::Color c, int, int) { return !sameColor(c, BACKGROUND); });
}

/// Runs a shell command; returns its exit status (-1 if it could not run).
inline int shell(const std::string& command) {
    const int status = std::system(command.c_str());
    if (status == -1 || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

/// The player's hands: keys and mouse through xdotool.
inline int xdotool(const std::string& arguments) {
    return shell("xdotool " + arguments);
}

/// Presses the window's close button.
inline int closeWindow() {
    return shell(std::string("'") + MOLTRIX_SOURCE_DIR + "/scripts/close-window' Moltrix");
}

/// The real program, started in a working folder with its output in a file there.
/// It is killed when this goes out of scope while it still runs.
class Program {
public:
    explicit Program(const std::filesystem::path& folder) : outputFile(folder / "output.txt") {
        // Everything the child needs is ready before the fork.
        const std::string binary = MOLTRIX_GAME_BINARY;
        const std::string directory = folder.string();
        const std::string output = outputFile.string();
        pid = ::fork();
        if (pid == 0) {
            if (::chdir(directory.c_str()) != 0) {
                ::_exit(126);
            }
            const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd < 0) {
                ::_exit(126);
            }
            ::dup2(fd, STDOUT_FILENO);
            ::dup2(fd, STDERR_FILENO);
            ::close(fd);
            ::execl(binary.c_str(), binary.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        started = Clock::now();
    }
    ~Program() { kill(); }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    [[nodiscard]] bool wasStarted() const { return pid > 0; }

    bool isRunning() {
        poll();
        return pid > 0 && !status;
    }

    /// The exit code as a shell sees it (128 + signal for a killed program), or
    /// nothing if it still runs after the timeout.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout) {
        const auto deadline = Clock::now() + timeout;
        while (isRunning() && Clock::now() < deadline) {
            std::this_thread::sleep_for(20ms);
        }
        return status;
    }

    void kill() {
        if (pid > 0 && !status) {
            ::kill(pid, SIGKILL);
            int raw = 0;
            if (::waitpid(pid, &raw, 0) == pid) {
                status = decode(raw);
            }
        }
    }

    [[nodiscard]] std::optional<int> exitCode() const { return status; }
    [[nodiscard]] std::string output() const { return test::readFile(outputFile); }
    [[nodiscard]] Clock::time_point startTime() const { return started; }

private:
    void poll() {
        if (pid <= 0 || status) {
            return;
        }
        int raw = 0;
        if (::waitpid(pid, &raw, WNOHANG) == pid) {
            status = decode(raw);
        }
    }
    static int decode(int raw) {
        if (WIFEXITED(raw)) {
            return WEXITSTATUS(raw);
        }
        if (WIFSIGNALED(raw)) {
            return 128 + WTERMSIG(raw);
        }
        return -1;
    }

    std::filesystem::path outputFile;
    pid_t pid = -1;
    std::optional<int> status;
    Clock::time_point started;
};

/// What the virtual display shows now (grabbed with ImageMagick's import; an
/// uncompressed file costs the machine less than a PNG, leaving more to the game).
inline std::optional<sf::Image> screenshot() {
    const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                       ("moltrix-e2e-screen-" + std::to_string(::getpid()) + ".bmp");
    if (shell("import -window root '" + file.string() + "'") != 0) {
        return std::nullopt;
    }
    sf::Image image;
    const bool loaded = image.loadFromFile(file);
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
    if (!loaded || image.getSize() != sf::Vector2u(SCREEN_WIDTH, SCREEN_HEIGHT)) {
        return std::nullopt;
    }
    return image;
}

/// Keeps a screenshot of a failed wait next to the build, to look at afterwards.
inline std::string keepForInspection(const sf::Image& image, const std::string& what) {
    const std::filesystem::path dir = std::filesystem::path(MOLTRIX_BINARY_DIR) / "e2e-failures";
    std::filesystem::create_directories(dir);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = (info ? std::string(info->test_suite_name()) + "." + info->name() + "-" : "") + what;
    for (char& c : name) {
        if (c == '/' || c == ' ') {
            c = '_';
        }
    }
    const std::filesystem::path file = dir / (name + ".png");
    return image.saveToFile(file) ? file.string() : "(could not be saved)";
}

/// Takes screenshots until one satisfies the predicate; fails the test (and returns
/// nothing) if the program exits first or the timeout passes. Each screenshot that does
/// not satisfy it is also given to onMiss, if any. Grabbing the screen costs the game
/// frames (overruns) on a small machine, so screenshots are not taken too often.
inline std::optional<sf::Image> waitForScreen(Program& program, const std::string& what,
                                              std::chrono::milliseconds timeout,
                                              const std::function<bool(const sf::Image&)>& predicate,
                                              std::chrono::milliseconds interval = 200ms,
                                              const std::function<void(const sf::Image&)>& onMiss = {}) {
    const auto deadline = Clock::now() + timeout;
    std::optional<sf::Image> last;
    while (true) {
        if (!program.isRunning()) {
            ADD_FAILURE() << "the program exited (code " << program.exitCode().value_or(-1)
                          << ") while waiting for " << what << "; its output:\n"
                          << program.output();
            return std::nullopt;
        }
        if (auto shot = screenshot()) {
            if (predicate(*shot)) {
                return shot;
            }
            if (onMiss) {
                onMiss(*shot);
            }
            last = std::move(shot);
        }
        if (Clock::now() >= deadline) {
            break;
        }
        std::this_thread::sleep_for(interval);
    }
    ADD_FAILURE() << "timed out after " << timeout.count() << " ms waiting for " << what
                  << (last ? "; last screenshot: " + keepForInspection(*last, what) : "; no screenshot could be taken");
    return std::nullopt;
}

inline void saveScreenshot(const sf::Image& image, const std::string& name) {
    const std::filesystem::path file = test::screenshotDir() / name;
    EXPECT_TRUE(image.saveToFile(file)) << file;
}

inline double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

/// A picture of text cells as the game paints them: per character a cell of the
/// background colour, then the character at font size 30, in the game's font. Only a
/// band of the screen is painted (rows firstRow to firstRow + rows), to keep it quick.
class CellPicture {
public:
    explicit CellPicture(int firstRow = 0, int rows = 24)
        : top(static_cast<int>(CELL_HEIGHT) * firstRow), height(static_cast<int>(CELL_HEIGHT) * rows) {
        ok = font.openFromFile(test::sourceDir() / "mx-font.ttf");
        font.setSmooth(false); // as the game's display has it
        ok = ok && texture.resize({static_cast<unsigned>(SCREEN_WIDTH), static_cast<unsigned>(height)});
        if (ok) {
            texture.setView(sf::View(sf::FloatRect({0.0f, static_cast<float>(top)},
                                                   {static_cast<float>(SCREEN_WIDTH), static_cast<float>(height)})));
        }
        clear();
    }

    [[nodiscard]] bool isReady() const { return ok; }

    void clear() {
        if (ok) {
            texture.clear(BACKGROUND);
        }
        picture.reset();
    }

    /// Paints text from cell (col, row) to the right, character by character.
    void write(float col, float row, std::string_view text, sf::Color color) {
        if (!ok) {
            return;
        }
        for (std::size_t i = 0; i < text.size(); ++i) {
            const sf::Vector2f pixel(CELL_WIDTH * (col + static_cast<float>(i)), CELL_HEIGHT * row);
            sf::RectangleShape cell({CELL_WIDTH, CELL_HEIGHT});
            cell.setFillColor(BACKGROUND);
            cell.setPosition(pixel);
            texture.draw(cell);
            sf::Text glyph(font, sf::String(text[i], std::locale()), FONT_SIZE);
            glyph.setFillColor(color);
            glyph.setPosition(pixel);
            texture.draw(glyph);
        }
        picture.reset();
    }

    /// Pixels of the area (screen coordinates, inside the painted band) whose colour
    /// differs clearly from the screenshot's.
    int differingPixels(const sf::Image& shot, const Area& area) {
        const sf::Image& expected = image();
        return countPixels(shot, area, [&](sf::Color c, int x, int y) {
            if (y < top || y >= top + height) {
                return true;
            }
            const sf::Color e = expected.getPixel({static_cast<unsigned>(x), static_cast<unsigned>(y - top)});
            const int difference = std::max({std::abs(c.r - e.r), std::abs(c.g - e.g), std::abs(c.b - e.b)});
            return difference > 48;
        });
    }

    /// How many of the given text's cells (without blanks) at (col, row) look as painted here.
    int matchingCells(const sf::Image& shot, float col, float row, std::string_view text, int tolerance = 2) {
        int matching = 0;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] != ' ' &&
                differingPixels(shot, cellArea(col + static_cast<float>(i), row)) <= tolerance) {
                ++matching;
            }
        }
        return matching;
    }

    /// Whether all cells of a text (blanks included) at (col, row) look as painted here.
    bool matchesAllCells(const sf::Image& shot, float col, float row, std::size_t length, int tolerance = 2) {
        for (std::size_t i = 0; i < length; ++i) {
            if (differingPixels(shot, cellArea(col + static_cast<float>(i), row)) > tolerance) {
                return false;
            }
        }
        return true;
    }

    const sf::Image& image() {
        if (!picture) {
            texture.display();
            picture = texture.getTexture().copyToImage();
        }
        return *picture;
    }

private:
    int top;
    int height;
    bool ok = false;
    sf::Font font;
    sf::RenderTexture texture;
    std::optional<sf::Image> picture;
};

/// The lines of the program's log, with what a reader looks for counted.
struct LogSummary {
    std::vector<std::string> lines;
    int errors = 0;
    int overruns = 0;
    int info = 0;
    std::vector<std::string> malformed; // lines without the "HH:MM:SS frame " prefix

    explicit LogSummary(const std::string& text) {
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            if (line.empty()) {
                continue;
            }
            lines.push_back(line);
            if (line.find("ERROR") != std::string::npos) {
                ++errors;
            }
            if (line.find("WARNING: GameManager::run(): Game loop took longer than frame time") != std::string::npos) {
                ++overruns;
            }
            if (line.find("INFO") != std::string::npos) {
                ++info;
            }
            if (!hasPrefix(line)) {
                malformed.push_back(line);
            }
        }
    }

    static bool hasPrefix(const std::string& line) {
        // HH:MM:SS, a space, the frame number, a space, the message.
        if (line.size() < 12 || line[2] != ':' || line[5] != ':' || line[8] != ' ') {
            return false;
        }
        for (const int i : {0, 1, 3, 4, 6, 7}) {
            if (std::isdigit(static_cast<unsigned char>(line[static_cast<std::size_t>(i)])) == 0) {
                return false;
            }
        }
        std::size_t i = 9;
        while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i])) != 0) {
            ++i;
        }
        return i > 9 && i + 1 < line.size() && line[i] == ' ';
    }

    [[nodiscard]] std::string text() const {
        std::string all;
        for (const std::string& line : lines) {
            all += line + "\n";
        }
        return all;
    }
};

} // namespace e2e
