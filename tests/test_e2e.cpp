// End-to-end: the real moltrix on the virtual display, played through xdotool,
// judged by screenshots, exit codes and its log.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <locale>
#include <map>
#include <optional>
#include <regex>
#include <thread>
#include <tuple>

#include "TestSupport.h"

// Last: Xlib's macros (None, Status, ...) would clash with names in the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const sf::Color BACKGROUND(0, 25, 0), GREEN(0, 255, 0), WHITE(255, 255, 255);
const sf::Color HERO(57, 250, 128), CALLING(252, 107, 3);

/// The program, started in a working folder with its output in a file; killed if still running at the end.
class Program {
public:
    /// maxFileSize: the most bytes a file it writes may hold (RLIMIT_FSIZE), as a full disk would stop it.
    explicit Program(const std::filesystem::path& folder, const std::string& binary = MOLTRIX_GAME_BINARY,
                     const std::filesystem::path& outputFile = {}, bool onTheDisplay = true,
                     const std::vector<std::string>& arguments = {}, std::optional<rlim_t> maxFileSize = {})
        : output(outputFile.empty() ? folder / "output.txt" : outputFile) {
        const std::string dir = folder.string(), out = output.string();
        // Root may write anywhere; without these capabilities a read-only folder is read-only to it too.
        const bool dropOverride = ::geteuid() == 0 && (std::filesystem::status(folder).permissions() &
                                                        std::filesystem::perms::owner_write) == std::filesystem::perms::none;
        std::vector<const char*> argv;
        if (dropOverride) argv = {"setpriv", "--bounding-set=-dac_override,-dac_read_search"};
        argv.push_back(binary.c_str());
        for (const std::string& argument : arguments) argv.push_back(argument.c_str());
        argv.push_back(nullptr);
        pid = ::fork();
        if (pid == 0) {
            const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (::chdir(dir.c_str()) != 0 || fd < 0) ::_exit(126);
            ::dup2(fd, 1);
            ::dup2(fd, 2);
            if (!onTheDisplay) ::unsetenv("DISPLAY");
            if (maxFileSize) {
                ::signal(SIGXFSZ, SIG_IGN); // so that a write past the limit fails, as on a full disk
                const rlimit limit{*maxFileSize, *maxFileSize};
                ::setrlimit(RLIMIT_FSIZE, &limit);
            }
            ::execvp(argv[0], const_cast<char* const*>(argv.data()));
            ::_exit(127);
        }
    }
    ~Program() {
        if (running()) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    bool running() {
        int raw = 0;
        if (!status && ::waitpid(pid, &raw, WNOHANG) == pid) status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128;
        return !status;
    }
    /// The exit status as the shell sees it, or nothing when it still runs after the timeout.
    std::optional<int> exit(std::chrono::milliseconds timeout) {
        for (const auto end = Clock::now() + timeout; running() && Clock::now() < end;) std::this_thread::sleep_for(20ms);
        return status;
    }
    std::string text() const { return test::readFile(output); }
    /// Sends the program a signal, as Ctrl-C (SIGINT), a system stopping it (SIGTERM) or a kill (SIGKILL) would.
    void signal(int number) const { ::kill(pid, number); }

private:
    std::filesystem::path output;
    pid_t pid;
    std::optional<int> status;
};

int run(const std::string& command) { return std::system(command.c_str()) == 0 ? 0 : 1; }

/// The window of the program under test (the game or the example), found by its title wherever it
/// is on the screen; empty while there is none. Going fullscreen and back gives it a new one.
std::string windowId() {
    std::string id(32, '\0');
    FILE* out = ::popen("xdotool search --name '^(Moltrix|Coins)$' 2>/dev/null", "r");
    if (out == nullptr) return "";
    id.resize(std::fgets(id.data(), static_cast<int>(id.size()), out) != nullptr ? id.find_first_of("\n") : 0);
    ::pclose(out);
    return id;
}

/// "xdotool WHAT <the window> ARGS", as in "mousemove --window", "512 384".
int onWindow(const std::string& what, const std::string& args = "") { return run("xdotool " + what + " " + windowId() + " " + args); }

/// The test's own connection to the X server.
::Display* x11() {
    static ::Display* const x = ::XOpenDisplay(nullptr);
    // A window that has just gone (fullscreen makes a new one) is no error here: the caller looks again.
    ::XSetErrorHandler([](::Display*, ::XErrorEvent*) { return 0; });
    return x;
}

/// What the program's window shows, as the X server has it; nothing while there is no window.
std::optional<sf::Image> screenshot() {
    const std::string id = windowId();
    XWindowAttributes attributes{};
    if (x11() == nullptr || id.empty() || !::XGetWindowAttributes(x11(), std::stoul(id), &attributes)) return std::nullopt;
    const sf::Vector2u size(static_cast<unsigned>(attributes.width), static_cast<unsigned>(attributes.height));
    XImage* grab = ::XGetImage(x11(), std::stoul(id), 0, 0, size.x, size.y, AllPlanes, ZPixmap);
    if (grab == nullptr) return std::nullopt;
    std::vector<std::uint8_t> rgba(4 * size.x * size.y, 255);
    for (unsigned i = 0; i < size.x * size.y; ++i) {
        const unsigned long pixel = XGetPixel(grab, static_cast<int>(i % size.x), static_cast<int>(i / size.x)); // 0xRRGGBB
        for (unsigned c = 0; c < 3; ++c) rgba[4 * i + c] = static_cast<std::uint8_t>(pixel >> (16 - 8 * c));
    }
    XDestroyImage(grab);
    return sf::Image(size, rgba.data());
}

/// Screenshots until one satisfies the test, the program ends or time runs out.
std::optional<sf::Image> waitFor(Program& program, std::chrono::seconds timeout,
                                 const std::function<bool(const sf::Image&)>& test) {
    for (const auto end = Clock::now() + timeout; program.running() && Clock::now() < end;) {
        if (auto shot = screenshot(); shot && test(*shot)) return shot;
        std::this_thread::sleep_for(200ms);
    }
    return std::nullopt;
}

/// Pixels of a colour (any colour but the background, for BACKGROUND) in cells [x0, x1) x [y0, y1).
int count(const sf::Image& image, sf::Color color, float x0 = 0, float y0 = 0, float x1 = 80, float y1 = 24) {
    int n = 0;
    for (auto y = static_cast<unsigned>(32 * y0); y < static_cast<unsigned>(32 * y1); ++y) {
        for (auto x = static_cast<unsigned>(12.8f * x0 + 0.5f); x < static_cast<unsigned>(12.8f * x1 + 0.5f); ++x) {
            const sf::Color c = image.getPixel({x, y});
            n += color == BACKGROUND ? c != BACKGROUND : c == color;
        }
    }
    return n;
}

bool heroAt(const sf::Image& shot, sf::Color color) { return count(shot, color, 40, 12, 41, 13) >= 10; }

/// The 80 x 24 grid in a window of a size, laid out as the display should: the largest picture
/// with whole pixels per cell row that fits (4:3), centred; the character size follows the row.
struct Grid {
    explicit Grid(sf::Vector2u window)
        : row(static_cast<int>(std::max(10u, std::min(window.y / 24, window.x / 32)))),
          origin((static_cast<int>(window.x) - 32 * row) / 2, (static_cast<int>(window.y) - 24 * row) / 2) {}
    [[nodiscard]] sf::Vector2f at(float col, float r) const {
        return sf::Vector2f(origin) + sf::Vector2f(static_cast<float>(32 * row) / 80 * col, static_cast<float>(row) * r);
    }
    int row;
    sf::Vector2i origin;
};

/// Text in the cells from (col, row) on.
struct Cells { float col, row; std::string text; sf::Color color = WHITE; };

/// The part of a window from `corner`, of a size, as the display should paint these cells: each cell
/// drawn on its own, a background rectangle and an sf::Text, straight at its place and shown size.
sf::Image drawnDirectly(const Grid& grid, sf::Vector2i corner, sf::Vector2u size, const std::vector<Cells>& cells) {
    static sf::Font font(test::sourceDir() / "mx-font.ttf");
    font.setSmooth(false);
    sf::RenderTexture texture(size);
    texture.clear(BACKGROUND);
    for (const Cells& c : cells) {
        for (std::size_t i = 0; i < c.text.size(); ++i) {
            const sf::Vector2f at = grid.at(c.col + static_cast<float>(i), c.row) - sf::Vector2f(corner);
            sf::RectangleShape cell(grid.at(1, 1) - grid.at(0, 0));
            cell.setFillColor(BACKGROUND);
            cell.setPosition(at);
            texture.draw(cell);
            sf::Text glyph(font, sf::String(c.text[i], std::locale()), static_cast<unsigned>(30 * grid.row / 32));
            glyph.setFillColor(c.color);
            glyph.setPosition(at);
            texture.draw(glyph);
        }
    }
    texture.display();
    return texture.getTexture().copyToImage();
}

/// Whether the shot shows a text at (col, row), painted as the display paints cells, whatever the window's size.
bool showsText(const sf::Image& shot, float col, float row, const std::string& text) {
    const Grid grid(shot.getSize());
    const sf::Vector2i corner(grid.at(col, row) + sf::Vector2f(0.5f, 0)), end(grid.at(col + static_cast<float>(text.size()), row + 1));
    // Drawn once per window size and place: the clock is looked for among 181 texts.
    static std::map<std::tuple<unsigned, unsigned, float, float, std::string>, sf::Image> drawn;
    sf::Image& part = drawn[{shot.getSize().x, shot.getSize().y, col, row, text}];
    if (part.getSize().x == 0) part = drawnDirectly(grid, corner, sf::Vector2u(end - corner), {{col, row, text}});
    for (unsigned y = 0; y < part.getSize().y; ++y) {
        for (unsigned x = 0; x < part.getSize().x; ++x) {
            if (shot.getPixel(sf::Vector2u(corner) + sf::Vector2u(x, y)) != part.getPixel({x, y})) return false;
        }
    }
    return true;
}

/// Whether the shot is exactly the title screen (a frame of the animated logo) drawn directly at its size,
/// margins included.
bool showsTitle(const sf::Image& shot) {
    static std::map<std::pair<unsigned, unsigned>, std::vector<sf::Image>> titles; // by window size
    std::vector<sf::Image>& frames = titles[{shot.getSize().x, shot.getSize().y}];
    if (frames.empty()) {
        std::istringstream logo(test::readFile(test::sourceDir() / "sprites/logo.txt"));
        int count = 0, width = 0, height = 0;
        std::string line;
        logo >> count >> width >> height;
        std::getline(logo, line);
        for (int f = 0; f < count; ++f) {
            std::vector<Cells> cells; // centred on (40, 10): from (6, 4)
            for (int r = 0; r < height && std::getline(logo, line); ++r) cells.push_back({6, 4.0f + static_cast<float>(r), line, GREEN});
            frames.push_back(drawnDirectly(Grid(shot.getSize()), {}, shot.getSize(), cells));
        }
    }
    return std::any_of(frames.begin(), frames.end(), [&](const sf::Image& frame) {
        return std::equal(shot.getPixelsPtr(), shot.getPixelsPtr() + 4 * shot.getSize().x * shot.getSize().y, frame.getPixelsPtr());
    });
}

/// The program in a scratch folder with the data files.
struct Session {
    explicit Session(std::initializer_list<const char*> files, const std::vector<std::string>& arguments = {})
        : dir(files), program(dir.getPath(), MOLTRIX_GAME_BINARY, {}, true, arguments) {}
    void quit() {
        ASSERT_EQ(run("xdotool key q"), 0);
        EXPECT_EQ(program.exit(5000ms), 0) << program.text();
    }
    std::string log() const { return test::readFile(dir.getPath() / "Moltrix.log"); }
    test::ScratchDir dir;
    Program program;
};

/// The line "world hash: <16 hex digits>" a run printed, or an empty string.
std::string worldHashLine(const std::string& output) {
    std::smatch found;
    return std::regex_search(output, found, std::regex("world hash: [0-9a-f]{16}\n")) ? found.str() : "";
}

/// Runs the game to its end with arguments, in a folder with its data, without or with a display;
/// the exit code expected.
std::string runToTheEnd(const test::ScratchDir& dir, const std::string& name, const std::vector<std::string>& arguments,
                        bool onTheDisplay = false, const std::string& binary = MOLTRIX_GAME_BINARY, int code = 0) {
    Program program(dir.getPath(), binary, dir.getPath() / (name + "-output.txt"), onTheDisplay, arguments);
    EXPECT_EQ(program.exit(120s), code) << name << ": " << program.text();
    return worldHashLine(program.text());
}

/// The hash of a recording's last checkpoint, as the line "world hash: ..." a replay ending there prints.
std::string lastCheckpoint(const std::string& recording) {
    const std::size_t at = recording.rfind(" check ");
    return at == std::string::npos ? "" : "world hash: " + recording.substr(at + 7, 16) + "\n";
}

/// Waits until a file holds a text, as the recording's own thread writes it.
bool waitForText(const std::filesystem::path& file, const std::string& text, int times, std::chrono::seconds timeout) {
    for (const auto end = Clock::now() + timeout; Clock::now() < end; std::this_thread::sleep_for(100ms)) {
        if (test::countLines(test::readFile(file), text) >= times) return true;
    }
    return false;
}

TEST(E2e, APlayedSessionIsRecordedAndReplaysToTheSameWorldWithAndWithoutAWindow) {
    Session s{{"mx-font.ttf", "sprites", "sounds"}, {"--record", "session.txt"}};
    const auto shot = waitFor(s.program, 20s, showsTitle);
    ASSERT_TRUE(shot);
    ASSERT_EQ(onWindow("mousemove --window", "512 384"), 0); // on the hero's cell: no course yet
    ASSERT_TRUE(shot->saveToFile(test::screenshot("title.png")));

    ASSERT_EQ(run("xdotool key space"), 0);
    const auto game = waitFor(s.program, 10s, [](const sf::Image& i) {
        return heroAt(i, HERO) && count(i, GREEN) == 0 && count(i, sf::Color(255, 0, 255)) > 100 &&
               count(i, sf::Color(255, 255, 0)) > 100 && count(i, sf::Color(255, 127, 0)) > 100 &&
               count(i, sf::Color(0, 255, 255)) > 100;
    });
    ASSERT_TRUE(game);
    ASSERT_TRUE(game->saveToFile(test::screenshot("game.png")));
    ASSERT_EQ(onWindow("mousemove --window", "256 64"), 0); // up and left
    std::this_thread::sleep_for(1s);
    ASSERT_EQ(run("xdotool mousedown 1"), 0);
    const auto calling = waitFor(s.program, 5s, [](const sf::Image& i) { return heroAt(i, CALLING); });
    ASSERT_EQ(run("xdotool mouseup 1"), 0);
    ASSERT_TRUE(calling);
    ASSERT_TRUE(calling->saveToFile(test::screenshot("calling.png")));
    s.quit();
    EXPECT_EQ(test::countLines(s.log(), "ERROR"), 0) << s.log();
    // What the session ended in, again from its recording: twice without a display, once in a window.
    const std::string played = worldHashLine(s.program.text());
    ASSERT_NE(played, "") << s.program.text();
    for (const char* name : {"headless", "again"}) {
        EXPECT_EQ(runToTheEnd(s.dir, name, {"--replay", "session.txt", "--headless"}), played) << name;
    }
    EXPECT_EQ(runToTheEnd(s.dir, "windowed", {"--replay", "session.txt"}, true), played);
    EXPECT_EQ(test::countLines(s.log(), "ERROR"), 0) << s.log();
}

TEST(E2e, AWindowedRecordingEndedByASignalIsWholeAndAKilledOneLeavesItsPartToReplay) {
    test::ScratchDir dir{"mx-font.ttf", "sprites", "sounds"};
    const std::string older = "moltrix-input 1\nengine 0.1.0\nseed 3\nend 2\n";
    for (const int number : {SIGINT, SIGTERM, SIGKILL}) {
        const std::string name = ::strsignal(number);
        std::ofstream("s.txt") << older;
        Program program(dir.getPath(), MOLTRIX_GAME_BINARY, dir.getPath() / "output.txt", true, {"--record", "s.txt"});
        ASSERT_TRUE(waitFor(program, 20s, showsTitle)) << program.text();
        ASSERT_EQ(run("xdotool key space"), 0);
        ASSERT_EQ(onWindow("mousemove --window", "300 200"), 0);
        ASSERT_EQ(run("xdotool mousedown 1"), 0);
        // Two checkpoints on the disk: about two seconds of the session, whatever happens next.
        ASSERT_TRUE(waitForText("s.txt.partial", " check ", 2, 20s)) << name;
        ASSERT_EQ(run("xdotool mouseup 1"), 0);
        EXPECT_EQ(test::readFile("s.txt"), older) << name; // untouched while the session goes on
        program.signal(number);
        if (number == SIGKILL) {
            EXPECT_EQ(program.exit(10s), 128);
            EXPECT_EQ(test::readFile("s.txt"), older);
            // What it wrote to its output file before the kill is there: each line was flushed.
            EXPECT_EQ(test::countLines(program.text(), "INFO: InputManager::startRecording(): Recording into 's.txt.partial'"), 1)
                << program.text();
            // The part on the disk replays to its last checkpoint, says where it was cut, and fails.
            const std::string part = test::readFile("s.txt.partial");
            Program replay(dir.getPath(), MOLTRIX_GAME_BINARY, dir.getPath() / "replay.txt", false, {"--replay", "s.txt.partial", "--headless"});
            EXPECT_EQ(replay.exit(60s), 4) << replay.text();
            EXPECT_EQ(worldHashLine(replay.text()), lastCheckpoint(part));
            EXPECT_EQ(test::countLines(replay.text(), "WARNING: InputManager::startReplay(): 's.txt.partial' was cut short at line"), 1) << replay.text();
            EXPECT_EQ(test::countLines(replay.text(), "moltrix: the replay's file was cut short: it played to its last checkpoint"), 1);
            std::filesystem::remove("s.txt.partial");
            continue;
        }
        EXPECT_EQ(program.exit(10s), 0) << name << ": " << program.text();
        EXPECT_EQ(test::countLines(program.text(), std::string("INFO: GameManager::run(): Asked to stop (") +
                                               (number == SIGINT ? "SIGINT" : "SIGTERM") + "): the game ends here"), 1) << program.text();
        const std::string played = worldHashLine(program.text());
        ASSERT_NE(played, "") << program.text();
        const std::string recording = test::readFile("s.txt");
        EXPECT_FALSE(std::filesystem::exists("s.txt.partial"));
        EXPECT_EQ(lastCheckpoint(recording), played) << name;
        EXPECT_EQ(runToTheEnd(dir, name, {"--replay", "s.txt", "--headless"}), played) << name;
    }
}

TEST(E2e, AWriteErrorDuringTheRecordingIsReportedAtOnceAndTheRunFails) {
    test::ScratchDir dir{"mx-font.ttf", "sprites", "sounds"};
    const std::string round = (test::sourceDir() / "tests/data/full-round.txt").string();
    // The recording outgrows the files the system allows (at about frame 800), as on a disk that fills up.
    Program program(dir.getPath(), MOLTRIX_GAME_BINARY, dir.getPath() / "output.txt", false,
                    {"--replay", round, "--headless", "--frames", "1200", "--record", "out.txt"}, 6000);
    EXPECT_EQ(program.exit(120s), 1) << program.text();
    EXPECT_EQ(test::countLines(program.text(), "ERROR: InputManager::endFrame(): Cannot write the recording 'out.txt.partial': File too large"), 1) << program.text();
    EXPECT_EQ(test::countLines(program.text(), "moltrix: the recording could not be written (File too large)"), 1);
    EXPECT_NE(worldHashLine(program.text()), ""); // the game went on
    EXPECT_FALSE(std::filesystem::exists("out.txt"));
    // What reached the disk is whole up to its last checkpoint.
    Program replay(dir.getPath(), MOLTRIX_GAME_BINARY, dir.getPath() / "replay.txt", false, {"--replay", "out.txt.partial", "--headless"});
    EXPECT_EQ(replay.exit(60s), 4) << replay.text();
    EXPECT_EQ(worldHashLine(replay.text()), lastCheckpoint(test::readFile("out.txt.partial")));
}

TEST(E2e, ABadReplayFileOrOptionEndsTheProgramWithItsReason) {
    test::ScratchDir dir{"mx-font.ttf", "sprites", "sounds"};
    std::istringstream whole(test::readFile(test::sourceDir() / "tests/data/full-round.txt"));
    std::string cut = "moltrix-input 1\n", line; // the first 40 lines as version 1, without checkpoints: no end line
    for (int i = 1; i < 40 && std::getline(whole, line);) {
        if (line.find(" check ") == std::string::npos && line.rfind("moltrix-input", 0) != 0) cut += line + '\n', ++i;
    }
    std::ofstream("cut.txt") << cut;
    std::ofstream("r.txt") << "moltrix-input 2\nengine 0.1.0\nseed 3\nend 2\n";
    std::filesystem::create_directory("folder");
    ASSERT_EQ(::mkfifo("fifo", 0600), 0);
    const std::string font = test::readFile("mx-font.ttf");
    // All are refused before the engine starts: without a display, a start would fail otherwise.
    const std::tuple<std::vector<std::string>, int, std::string> runs[] = {
        {{"--replay", "cut.txt"}, 1, "ERROR: InputManager::startReplay(): Refused 'cut.txt', line 41: the file ends before its 'end' line"},
        {{"--headless", "--replay", "missing.txt"}, 1, "ERROR: InputManager::startReplay(): Cannot open 'missing.txt': it does not exist"},
        {{"--replay", "folder"}, 1, "ERROR: InputManager::startReplay(): Cannot open 'folder': it is a folder"},
        {{"--replay", "fifo", "--headless"}, 1, "ERROR: InputManager::startReplay(): Cannot open 'fifo': it is a FIFO"},
        {{"--replay", "/dev/zero", "--headless"}, 1, "Cannot open '/dev/zero': it is a device"},
        {{"--record", "folder"}, 1, "moltrix: cannot record into 'folder': it is a folder"},
        {{"--record", "fifo"}, 1, "ERROR: Cannot record into 'fifo': it is a FIFO"},
        {{"--record", "/dev/full", "--frames", "3", "--headless"}, 1, "moltrix: cannot record into '/dev/full': it is a device"},
        {{"--record", "mx-font.ttf"}, 1, "moltrix: cannot record into 'mx-font.ttf': it is not a recording: only a recording is replaced by one"},
        {{"--replay", "r.txt", "--record", "r.txt", "--headless"}, 1, "moltrix: cannot record into 'r.txt': it is the file being replayed"},
        {{"--record", "no/such/folder/x.txt"}, 1, "moltrix: cannot record into 'no/such/folder/x.txt': it cannot be written: No such file"},
        {{"--record", "--headless", "--frames", "9"}, 2, "moltrix: --record needs a file name, not the option '--headless'"},
    };
    for (const auto& [arguments, code, reason] : runs) {
        Program program(dir.getPath(), MOLTRIX_GAME_BINARY, dir.getPath() / "output.txt", false, arguments);
        EXPECT_EQ(program.exit(10s), code) << program.text();
        EXPECT_EQ(test::countLines(program.text(), reason), 1) << program.text();
        EXPECT_EQ(worldHashLine(program.text()), "");
    }
    EXPECT_EQ(test::readFile("mx-font.ttf"), font);
    EXPECT_EQ(test::readFile("r.txt"), "moltrix-input 2\nengine 0.1.0\nseed 3\nend 2\n");
    EXPECT_FALSE(std::filesystem::exists("folder.partial"));
}

TEST(E2e, WithoutTheFontOrADisplayItFailsToStart) {
    Session s{"sprites", "sounds"};
    EXPECT_EQ(s.program.exit(5000ms), 255); // -1
    EXPECT_EQ(test::countLines(s.program.text(), "Failed to start engine"), 1);
    Program headless(s.dir.getPath(), MOLTRIX_GAME_BINARY, s.dir.getPath() / "headless.txt", false);
    EXPECT_EQ(headless.exit(5000ms), 255) << headless.text(); // not an abort
    EXPECT_EQ(test::countLines(headless.text(), "ERROR: DisplayManager::startUpImpl(): No display to open a window on: DISPLAY is not set"), 1);
    EXPECT_EQ(test::countLines(headless.text(), "Failed to start engine"), 1);
}

TEST(E2e, AFreshStartLogsNothingButALostLogOrABadFileIsToldAndNeverEndsInSuccess) {
    test::ScratchDir dir{"mx-font.ttf", "sprites", "sounds"};
    const std::filesystem::path log = dir.getPath() / "Moltrix.log";
    // At the default verbosity a start, a run and its end write nothing; --verbose shows the notices.
    EXPECT_EQ(runToTheEnd(dir, "quiet", {"--headless", "--frames", "30"}).empty(), false);
    EXPECT_TRUE(std::filesystem::exists(log));
    EXPECT_EQ(test::readFile(log), "");
    runToTheEnd(dir, "verbose", {"--headless", "--frames", "30", "--verbose"});
    EXPECT_EQ(test::countLines(test::readFile(log), "INFO: LogManager::startUp(): Logging to '" + log.string() + "'"), 1);
    EXPECT_EQ(test::countLines(test::readFile(log), "INFO: ResourceManager::startUp(): Data folder: '"), 1);

    // A log no line can be written to (the file may grow no more, as on a full disk): said once, and exit 1.
    // Through a pipe, which no file size limit stops: what it says, then its exit code.
    Program full(dir.getPath(), "sh", dir.getPath() / "full.txt", false,
                 {"-c", "(trap '' XFSZ; ulimit -f 0; \"$0\" --headless --frames 30 --verbose; echo \"exit $?\") 2>&1 | cat",
                  MOLTRIX_GAME_BINARY});
    EXPECT_EQ(full.exit(60s), 0) << full.text();
    EXPECT_EQ(test::countLines(full.text(), "exit 1"), 1) << full.text();
    EXPECT_EQ(test::countLines(full.text(), "ERROR: LogManager::writeLog(): Cannot write to 'Moltrix.log' (File too large): "
                                            "the log's lines from here on are lost"), 1) << full.text();
    EXPECT_EQ(test::countLines(full.text(), " lines could not be written to the log"), 1) << full.text();

    // Files that are no files where the data lies: the game runs on without them, a round
    // included (the nests load theirs when SPACE starts it), and names each in the log.
    std::filesystem::remove("sprites/nest.txt");
    ASSERT_EQ(::mkfifo("sprites/nest.txt", 0600), 0);
    std::filesystem::remove("sprites/logo.txt");
    std::filesystem::create_symlink("/dev/zero", "sprites/logo.txt");
    std::filesystem::remove("sounds/BirdCall_Sonavox.mp3");
    std::filesystem::create_directory("sounds/BirdCall_Sonavox.mp3");
    const std::string round = (test::sourceDir() / "tests/data/full-round.txt").string();
    // Nests without their sprite are smaller: the replay leaves the recorded world, and its
    // first checkpoint after the start says so (exit 3), which proves the game went on.
    EXPECT_NE(runToTheEnd(dir, "hostile", {"--replay", round, "--headless", "--frames", "200"}, false,
                          MOLTRIX_GAME_BINARY, 3), "");
    const std::string said = test::readFile(log);
    EXPECT_EQ(test::countLines(said, "Failed to open file: 'sprites/nest.txt': it is a FIFO"), 4) << said; // one a nest
    EXPECT_EQ(test::countLines(said, "Failed to open file: 'sprites/logo.txt': it is a device"), 1) << said;
    EXPECT_EQ(test::countLines(said, "sounds/BirdCall_Sonavox.mp3': it is a folder"), 1) << said;

    // With a window but without a font it cannot start: the reason, then the program's own line, exit -1.
    std::filesystem::remove("mx-font.ttf");
    std::filesystem::create_directory("mx-font.ttf");
    runToTheEnd(dir, "fontless", {"--frames", "3"}, true, MOLTRIX_GAME_BINARY, 255); // a headless run draws no text
    EXPECT_EQ(test::countLines(test::readFile(dir.getPath() / "fontless-output.txt"),
                               "ERROR: DisplayManager::startUpImpl(): Failed to open font file: 'mx-font.ttf': it is a folder"), 1);
    EXPECT_EQ(test::countLines(test::readFile(dir.getPath() / "fontless-output.txt"), "Failed to start engine"), 1);
}

/// The icon the window gives the window manager (WM_HINTS' pixmap), pixel by pixel as 0xRRGGBB;
/// empty while there is none.
std::vector<unsigned long> windowIconPixels(sf::Vector2u& size) {
    const std::string id = windowId();
    XWMHints* hints = id.empty() ? nullptr : ::XGetWMHints(x11(), std::stoul(id));
    std::vector<unsigned long> pixels;
    if (hints != nullptr && (hints->flags & IconPixmapHint) != 0) {
        ::Window root = 0;
        int x = 0, y = 0;
        unsigned border = 0, depth = 0;
        ::XGetGeometry(x11(), hints->icon_pixmap, &root, &x, &y, &size.x, &size.y, &border, &depth);
        if (XImage* image = ::XGetImage(x11(), hints->icon_pixmap, 0, 0, size.x, size.y, AllPlanes, ZPixmap)) {
            for (unsigned i = 0; i < size.x * size.y; ++i) pixels.push_back(XGetPixel(image, static_cast<int>(i % size.x), static_cast<int>(i / size.x)));
            XDestroyImage(image);
        }
    }
    if (hints != nullptr) ::XFree(hints);
    return pixels;
}

TEST(E2e, TheWindowHasTheGamesIconAndASecondCopyBesideItLeavesItsLogWhole) {
    Session s({"mx-font.ttf", "sprites", "sounds", "icons"}, {"--verbose"}); // a log with lines from the start
    ASSERT_TRUE(waitFor(s.program, 20s, showsTitle)) << s.program.text();

    const sf::Image icon(test::sourceDir() / "icons/moltrix-64.png");
    sf::Vector2u size;
    const std::vector<unsigned long> shown = windowIconPixels(size);
    ASSERT_EQ(size, icon.getSize());
    int opaque = 0, same = 0;
    for (unsigned i = 0; i < size.x * size.y && i < shown.size(); ++i) {
        const sf::Color want = icon.getPixel({i % size.x, i / size.x});
        if (want.a != 255) continue; // the window manager blends the edges its own way
        ++opaque;
        same += shown[i] == ((unsigned long)want.r << 16 | (unsigned long)want.g << 8 | want.b);
    }
    EXPECT_GT(opaque, 2000);
    EXPECT_EQ(same, opaque);

    // A second copy in the same folder, while the first is on its title.
    const std::string before = s.log();
    ASSERT_NE(before, "");
    ::setenv("XDG_STATE_HOME", (s.dir.getPath() / "state").c_str(), 1);
    Program second(s.dir.getPath(), MOLTRIX_GAME_BINARY, s.dir.getPath() / "second.txt", false, {"--headless", "--frames", "30"});
    EXPECT_EQ(second.exit(30s), 0) << second.text();
    const std::filesystem::path moved = s.dir.getPath() / "state/moltrix/Moltrix.log";
    EXPECT_EQ(test::countLines(second.text(), "INFO: LogManager::startUp(): 'Moltrix.log' is in use by another copy of the "
                                              "program: logging to '" + moved.string() + "'"), 1) << second.text();
    // Not emptied, nor written by the second; the first writes on (overruns on a busy machine).
    const auto keptWhole = [&](const std::string& log) {
        return log.compare(0, before.size(), before) == 0 && log.find('\0') == std::string::npos &&
               test::countLines(log, "in use by another copy") == 0;
    };
    EXPECT_TRUE(keptWhole(s.log())) << s.log();
    EXPECT_EQ(test::countLines(test::readFile(moved), "ERROR"), 0);
    s.quit();
    EXPECT_TRUE(keptWhole(s.log())) << s.log();
}

TEST(E2e, WithoutSpritesItRunsAndLogsEachMissingFile) {
    Session s{"mx-font.ttf", "sounds"};
    // No logo: the window shows nothing but its background.
    EXPECT_TRUE(waitFor(s.program, 20s, [](const sf::Image& i) { return count(i, BACKGROUND) == 0; }));
    s.quit();
    for (const char* file : {"logo", "gameover", "background"}) {
        EXPECT_EQ(test::countLines(s.log(), std::string("Failed to open file: 'sprites/") + file + ".txt'"), 1);
    }
}

#ifdef MOLTRIX_INSTALLED_GAME
TEST(E2e, TheInstalledGameFindsItsDataFromAnyFolderAndLogsWhereItCan) {
    test::ScratchDir dir;
    const std::filesystem::path elsewhere = dir.getPath() / "elsewhere", locked = dir.getPath() / "locked";
    std::filesystem::create_directories(elsewhere);
    std::filesystem::create_directories(locked);
    std::filesystem::permissions(locked, std::filesystem::perms::owner_write | std::filesystem::perms::group_write |
                                             std::filesystem::perms::others_write, std::filesystem::perm_options::remove);
    ::setenv("XDG_STATE_HOME", (dir.getPath() / "state").c_str(), 1);
    for (const auto& folder : {elsewhere, locked}) {
        Program program(folder, MOLTRIX_INSTALLED_GAME, dir.getPath() / (folder.filename().string() + ".txt"));
        EXPECT_TRUE(waitFor(program, 20s, showsTitle)) << program.text();
        // Q ends the one, the window's close button the other.
        ASSERT_EQ(run(folder == elsewhere ? "xdotool key q" : (test::sourceDir() / "scripts/close-window").string()), 0);
        // A sanitizer build on a busy machine takes its time to end.
        EXPECT_EQ(program.exit(15s), 0) << program.text();
    }
    EXPECT_EQ(test::countLines(test::readFile(elsewhere / "Moltrix.log"), "ERROR"), 0);
    EXPECT_TRUE(std::filesystem::is_empty(locked));
    const std::filesystem::path moved = dir.getPath() / "state/moltrix/Moltrix.log";
    EXPECT_EQ(test::countLines(test::readFile(dir.getPath() / "locked.txt"), "logging to '" + moved.string() + "'"), 1);
    EXPECT_EQ(test::countLines(test::readFile(moved), "ERROR"), 0);
    EXPECT_GT(test::readFile(moved).size(), 0u);
}
#endif

// Window tests run on a 2560 x 1600 screen, bare and under a window manager (openbox).

/// Whether a window manager runs on the display (scripts/with-xvfb --wm).
bool managed() { return std::getenv("MOLTRIX_WM") != nullptr && *std::getenv("MOLTRIX_WM") != '\0'; }

/// Waits for the title drawn directly at the window's size, after the window has taken a new one.
std::optional<sf::Image> titleAt(Program& program, sf::Vector2u size) {
    return waitFor(program, 10s, [&](const sf::Image& i) { return i.getSize() == size && showsTitle(i); });
}

TEST(Window, AtEverySizeTheTitleIsTheGridDrawnDirectlyThereWithBareMargins) {
    Session s{"mx-font.ttf", "sprites", "sounds"};
    ASSERT_TRUE(titleAt(s.program, {1024, 768}));
    // Twice the size, 16:9 (letterboxed), smaller; and below the smallest size, which a window manager refuses.
    for (const sf::Vector2u size : {sf::Vector2u(2048, 1536), sf::Vector2u(1920, 1080), sf::Vector2u(800, 600), sf::Vector2u(100, 100)}) {
        ASSERT_EQ(onWindow("windowsize", std::to_string(size.x) + " " + std::to_string(size.y)), 0);
        const sf::Vector2u shown = managed() && size.x < 320 ? sf::Vector2u(320, 240) : size;
        EXPECT_TRUE(titleAt(s.program, shown)) << size.x << " x " << size.y;
    }
    // A game at twice the size, and letterboxed at 16:9.
    ASSERT_EQ(onWindow("windowsize", "2048 1536"), 0);
    ASSERT_TRUE(titleAt(s.program, {2048, 1536}));
    ASSERT_EQ(onWindow("mousemove --window", "1024 768"), 0);
    ASSERT_EQ(run("xdotool key space"), 0);
    const auto inGame = [](const sf::Image& i) { return showsText(i, 37, 1, "|2:"); }; // the timer, in the first minute
    const auto twice = waitFor(s.program, 10s, inGame);
    ASSERT_TRUE(twice);
    ASSERT_TRUE(twice->saveToFile(test::screenshot("game-2x.png")));
    ASSERT_EQ(onWindow("windowsize", "1920 1080"), 0);
    const auto wide = waitFor(s.program, 10s, [&](const sf::Image& i) { return i.getSize().x == 1920 && inGame(i); });
    ASSERT_TRUE(wide);
    ASSERT_TRUE(wide->saveToFile(test::screenshot("game-16x9.png")));
    if (managed()) { // maximised: as large as the screen lets the window be, the same grid
        ASSERT_EQ(run((test::sourceDir() / "scripts/maximise-window").string() + " " + windowId()), 0);
        EXPECT_TRUE(waitFor(s.program, 10s, [&](const sf::Image& i) { return i.getSize().x > 1920 && inGame(i); }));
    }
    s.quit();
    EXPECT_EQ(test::countLines(s.log(), "ERROR"), 0) << s.log();
}

/// The game's clock, read from the timer's cells: seconds left.
std::optional<int> timeLeft(const sf::Image& shot) {
    for (int t = 180; t >= 0; --t) {
        if (showsText(shot, 37, 1, "|" + std::to_string(t / 60) + ":" + (t % 60 < 10 ? "0" : "") + std::to_string(t % 60) + "|")) return t;
    }
    return std::nullopt;
}

TEST(Window, F11AndAltEnterSwitchToFullscreenAndBackWhileTheGameGoesOn) {
    Session s{"mx-font.ttf", "sprites", "sounds"};
    const sf::Vector2u screen = sf::VideoMode::getDesktopMode().size;
    ASSERT_TRUE(titleAt(s.program, {1024, 768}));
    for (const char* keys : {"F11", "alt+Return"}) { // the same cells before and after each switch
        ASSERT_EQ(run(std::string("xdotool key ") + keys), 0);
        EXPECT_TRUE(titleAt(s.program, screen)) << keys;
        ASSERT_EQ(run(std::string("xdotool key ") + keys), 0);
        EXPECT_TRUE(titleAt(s.program, {1024, 768})) << keys;
    }
    // In a round, the clock runs on through both switches, and the window comes back at its size.
    ASSERT_EQ(run("xdotool key space"), 0);
    const auto before = waitFor(s.program, 10s, [](const sf::Image& i) { return timeLeft(i).has_value(); });
    ASSERT_TRUE(before);
    const auto start = Clock::now();
    ASSERT_EQ(run("xdotool key F11"), 0);
    EXPECT_TRUE(waitFor(s.program, 10s, [&](const sf::Image& i) { return i.getSize() == screen; }));
    std::this_thread::sleep_for(1s);
    ASSERT_EQ(run("xdotool key F11"), 0);
    const auto after = waitFor(s.program, 10s, [](const sf::Image& i) { return i.getSize() == sf::Vector2u(1024, 768) && timeLeft(i); });
    ASSERT_TRUE(after);
    // The round's clock counts frames: it went on through both switches, and never faster
    // than real time (a busy machine may make it slower; the schedule's own tests time it).
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_LT(*timeLeft(*after), *timeLeft(*before));
    EXPECT_LE(*timeLeft(*before) - *timeLeft(*after), seconds + 1.0); // shown in whole seconds
    s.quit();
    EXPECT_EQ(test::countLines(s.log(), "ERROR"), 0) << s.log();
}

// Start-size tests run on small screens: 800 x 600 bare and under openbox, 1366 x 768 under openbox.

TEST(StartSize, TheWindowFitsTheScreenWithAllItsRows) {
    const sf::Vector2u screen = sf::VideoMode::getDesktopMode().size;
    // The work area (or the desktop) less a tenth, for the title bar and where the window manager
    // puts the window; then 1024 x 768, or the largest grid of whole pixels per row that fits.
    const std::map<unsigned, sf::Vector2u> expected{{800, {704, 528}}, {1366, {896, 672}}, {1280, {1024, 768}}};
    Session s{"mx-font.ttf", "sprites", "sounds"};
    const auto shot = waitFor(s.program, 20s, showsTitle); // every row there
    ASSERT_TRUE(shot);
    EXPECT_EQ(shot->getSize(), expected.at(screen.x));
    int x = -1, y = -1; // where the window manager (or none) put it
    ::Window child = 0;
    ::XTranslateCoordinates(x11(), std::stoul(windowId()), DefaultRootWindow(x11()), 0, 0, &x, &y, &child);
    EXPECT_GE(x, 0);
    EXPECT_GE(y, 0);
    EXPECT_LE(x + static_cast<int>(shot->getSize().x), static_cast<int>(screen.x));
    EXPECT_LE(y + static_cast<int>(shot->getSize().y), static_cast<int>(screen.y));
    s.quit();
}

/// The centre, in cells, of the pixels of a colour in a row of cells (-1 when there are none).
float centreOf(const sf::Image& shot, sf::Color color, unsigned row) {
    double sum = 0;
    int n = 0;
    for (unsigned y = 32 * row; y < 32 * row + 32; ++y) {
        for (unsigned x = 0; x < 1024; ++x) {
            if (shot.getPixel({x, y}) == color) sum += x, ++n;
        }
    }
    return n > 0 ? static_cast<float>(sum / n / 12.8) : -1.0f;
}

#ifdef MOLTRIX_EXAMPLE_COINS
TEST(Example, CoinsPlaysInAWindowWithRealKeys) { // its rules: examples/coins/coins_test.cpp, without a window
    test::ScratchDir dir;
    Program coins(dir.getPath(), MOLTRIX_EXAMPLE_COINS);
    const auto at = [](float column) {
        return [column](const sf::Image& i) { return std::abs(centreOf(i, GREEN, 11) - column) < 0.3f; };
    };
    ASSERT_TRUE(waitFor(coins, 20s, at(10.5f))) << coins.text();
    ASSERT_EQ(run("xdotool keydown Right"), 0);
    const auto moved = waitFor(coins, 5s, [](const sf::Image& i) { return centreOf(i, GREEN, 11) > 14; });
    ASSERT_EQ(run("xdotool keyup Right keydown Left"), 0);
    EXPECT_TRUE(moved);
    const auto stopped = waitFor(coins, 10s, at(1.5f)); // at the wall
    ASSERT_EQ(run("xdotool keyup Left"), 0);
    ASSERT_TRUE(stopped);
    EXPECT_TRUE(stopped->saveToFile(test::screenshot("coins.png")));
    ASSERT_EQ(run("xdotool key q"), 0);
    EXPECT_EQ(coins.exit(5000ms), 0) << coins.text();
    EXPECT_EQ(test::countLines(test::readFile(dir.getPath() / "coins.log"), "ERROR"), 0);
}
#endif

TEST(FullRound, ARecordedRoundReplaysToOneWorldEveryTimeAtO2AndO3WithOrWithoutCheckpointsAndRecordsAgainAsItWas) {
    test::ScratchDir dir{"sprites", "sounds"};
    const std::string recording = (test::sourceDir() / "tests/data/full-round.txt").string();
    const std::vector<std::string> replay{"--replay", recording, "--headless"};
    // The same round as version 1 of the format, without its checkpoints.
    std::istringstream lines(test::readFile(recording));
    std::ofstream v1("v1.txt");
    for (std::string line; std::getline(lines, line);) {
        if (line.find(" check ") == std::string::npos) v1 << (line.rfind("moltrix-input", 0) == 0 ? "moltrix-input 1" : line) << '\n';
    }
    v1.close();
    std::string first, again, o3;
    { // two at a time, one a core
        std::thread other([&] { again = runToTheEnd(dir, "again", {"--replay", "v1.txt", "--headless"}); });
        first = runToTheEnd(dir, "first", replay);
        other.join();
    }
    EXPECT_EQ(first, "world hash: 663f6abb7cb0cde9\n"); // every platform's, and the recording's last checkpoint
    EXPECT_EQ(again, first);
#ifdef MOLTRIX_GAME_O3
    std::thread other([&] { o3 = runToTheEnd(dir, "o3", replay, false, MOLTRIX_GAME_O3); });
#endif
    std::vector<std::string> recordAgain = replay;
    recordAgain.insert(recordAgain.end(), {"--record", "copy.txt"});
    EXPECT_EQ(runToTheEnd(dir, "copy", recordAgain), first);
    EXPECT_TRUE(test::readFile("copy.txt") == test::readFile(recording));
#ifdef MOLTRIX_GAME_O3
    other.join();
    EXPECT_EQ(o3, first);
#endif

    // One mouse coordinate changed in frame 103 (66.17 becomes 16.17): the replay stops at the
    // checkpoint after it, and says so.
    std::string changed = test::readFile(recording);
    const std::size_t at = changed.find("\n103 mouse moved 66.");
    ASSERT_NE(at, std::string::npos);
    changed[at + 17] = '1';
    ASSERT_NE(changed.find("\n119 check "), std::string::npos);
    std::ofstream("changed.txt") << changed;
    Program program(dir.getPath(), MOLTRIX_GAME_BINARY, dir.getPath() / "changed-output.txt", false,
                    {"--replay", "changed.txt", "--headless"});
    EXPECT_EQ(program.exit(60s), 3) << program.text();
    EXPECT_EQ(test::countLines(program.text(), "ERROR: InputManager::endFrame(): The replay of 'changed.txt' differs from its "
                                               "recording at frame 119: world hash "), 1) << program.text();
    EXPECT_EQ(test::countLines(program.text(), "moltrix: the replay differs from its recording at frame 119"), 1);
}

} // namespace
