// End-to-end: the real moltrix on the virtual display, played through xdotool,
// judged by screenshots, exit codes and its log.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <locale>
#include <optional>
#include <thread>

#include "TestSupport.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const sf::Color BACKGROUND(0, 25, 0), GREEN(0, 255, 0), RED(255, 0, 0), WHITE(255, 255, 255);
const sf::Color HERO(57, 250, 128), CALLING(252, 107, 3);

/// The program, started in a working folder with its output in a file; killed if still running at the end.
class Program {
public:
    explicit Program(const std::filesystem::path& folder, const std::string& binary = MOLTRIX_GAME_BINARY,
                     const std::filesystem::path& outputFile = {})
        : output(outputFile.empty() ? folder / "output.txt" : outputFile) {
        const std::string dir = folder.string(), out = output.string();
        // Root may write anywhere; without these capabilities a read-only folder is read-only to it too.
        const bool dropOverride = ::geteuid() == 0 && (std::filesystem::status(folder).permissions() &
                                                        std::filesystem::perms::owner_write) == std::filesystem::perms::none;
        pid = ::fork();
        if (pid == 0) {
            const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (::chdir(dir.c_str()) != 0 || fd < 0) ::_exit(126);
            ::dup2(fd, 1);
            ::dup2(fd, 2);
            if (dropOverride) {
                ::execlp("setpriv", "setpriv", "--bounding-set=-dac_override,-dac_read_search", binary.c_str(),
                         static_cast<char*>(nullptr));
            } else {
                ::execl(binary.c_str(), binary.c_str(), static_cast<char*>(nullptr));
            }
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

private:
    std::filesystem::path output;
    pid_t pid;
    std::optional<int> status;
};

int run(const std::string& command) { return std::system(command.c_str()) == 0 ? 0 : 1; }

std::optional<sf::Image> screenshot() {
    const auto file = std::filesystem::temp_directory_path() / ("moltrix-e2e-" + std::to_string(::getpid()) + ".bmp");
    sf::Image image;
    if (run("import -window root " + file.string()) != 0 || !image.loadFromFile(file)) return std::nullopt;
    return image;
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

/// Whether a text, painted as the game paints cells (a background cell, then the glyph), is on the screen at (col, row).
bool showsText(const sf::Image& shot, float col, float row, const std::string& text) {
    static sf::Font font(test::sourceDir() / "mx-font.ttf");
    font.setSmooth(false);
    sf::RenderTexture texture({1024, 768});
    texture.clear(BACKGROUND);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const sf::Vector2f at(12.8f * (col + static_cast<float>(i)), 32 * row);
        sf::RectangleShape cell({12.8f, 32});
        cell.setFillColor(BACKGROUND);
        cell.setPosition(at);
        texture.draw(cell);
        sf::Text glyph(font, sf::String(text[i], std::locale()), 30);
        glyph.setPosition(at);
        texture.draw(glyph);
    }
    texture.display();
    const sf::Image expected = texture.getTexture().copyToImage();
    for (auto y = static_cast<unsigned>(32 * row); y < static_cast<unsigned>(32 * row + 32); ++y) {
        for (auto x = static_cast<unsigned>(12.8f * col + 0.5f); x < static_cast<unsigned>(12.8f * (col + text.size())); ++x) {
            if (shot.getPixel({x, y}) != expected.getPixel({x, y})) return false;
        }
    }
    return true;
}

/// The program in a scratch folder with the data files.
struct Session {
    explicit Session(std::initializer_list<const char*> files) : dir(files), program(dir.getPath()) {}
    void quit() {
        ASSERT_EQ(run("xdotool key q"), 0);
        EXPECT_EQ(program.exit(5000ms), 0) << program.text();
    }
    std::string log() const { return test::readFile(dir.getPath() / "Moltrix.log"); }
    test::ScratchDir dir;
    Program program;
};

bool title(const sf::Image& shot) { return count(shot, GREEN, 6, 4, 74, 16) > 8000; }

TEST(E2e, TitleGameFlightCallingAndQuit) {
    ASSERT_EQ(run("xdotool mousemove 512 384"), 0); // on the hero's cell: no course yet
    Session s{"mx-font.ttf", "sprites", "sounds"};
    const auto shot = waitFor(s.program, 20s, title);
    ASSERT_TRUE(shot);
    EXPECT_EQ(count(*shot, GREEN), count(*shot, GREEN, 6, 4, 74, 16)); // the logo in its place
    ASSERT_TRUE(shot->saveToFile(test::screenshot("title.png")));

    ASSERT_EQ(run("xdotool key space"), 0);
    const auto game = waitFor(s.program, 10s, [](const sf::Image& i) {
        return heroAt(i, HERO) && count(i, GREEN) == 0 && count(i, sf::Color(255, 0, 255)) > 100 &&
               count(i, sf::Color(255, 255, 0)) > 100 && count(i, sf::Color(255, 127, 0)) > 100 &&
               count(i, sf::Color(0, 255, 255)) > 100;
    });
    ASSERT_TRUE(game);
    ASSERT_TRUE(game->saveToFile(test::screenshot("game.png")));

    // Up and left to the corner of the world: the hero stays at the centre while the view
    // follows, nothing lies beyond the walls, and the magenta nest comes into view.
    ASSERT_EQ(run("xdotool mousemove 256 64"), 0);
    const auto corner = waitFor(s.program, 25s, [](const sf::Image& i) {
        return heroAt(i, HERO) && count(i, BACKGROUND, 0, 3, 39, 21) == 0 && count(i, BACKGROUND, 0, 3, 80, 11) == 0 &&
               count(i, sf::Color(255, 0, 255), 40, 15, 50, 19) > 200;
    });
    ASSERT_TRUE(corner);

    ASSERT_EQ(run("xdotool mousedown 1"), 0);
    const auto calling = waitFor(s.program, 5s, [](const sf::Image& i) { return heroAt(i, CALLING); });
    ASSERT_EQ(run("xdotool mouseup 1"), 0);
    ASSERT_TRUE(calling);
    ASSERT_TRUE(calling->saveToFile(test::screenshot("calling.png")));
    s.quit();
    EXPECT_EQ(test::countLines(s.log(), "ERROR"), 0) << s.log();
}

TEST(E2e, ClosingTheWindowEndsTheProgram) {
    Session s{"mx-font.ttf", "sprites", "sounds"};
    ASSERT_TRUE(waitFor(s.program, 20s, title));
    ASSERT_EQ(run((test::sourceDir() / "scripts/close-window").string()), 0);
    EXPECT_EQ(s.program.exit(5000ms), 0);
}

TEST(E2e, WithoutTheFontItFailsToStart) {
    Session s{"sprites", "sounds"};
    EXPECT_EQ(s.program.exit(5000ms), 255); // -1
    EXPECT_EQ(test::countLines(s.program.text(), "Failed to start engine"), 1);
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
        EXPECT_TRUE(waitFor(program, 20s, title)) << program.text();
        ASSERT_EQ(run("xdotool key q"), 0);
        EXPECT_EQ(program.exit(5000ms), 0) << program.text();
    }
    EXPECT_EQ(test::countLines(test::readFile(elsewhere / "Moltrix.log"), "ERROR"), 0);
    EXPECT_TRUE(std::filesystem::is_empty(locked));
    const std::filesystem::path moved = dir.getPath() / "state/moltrix/Moltrix.log";
    EXPECT_EQ(test::countLines(test::readFile(dir.getPath() / "locked.txt"), "logging to '" + moved.string() + "'"), 1);
    EXPECT_EQ(test::countLines(test::readFile(moved), "ERROR"), 0);
    EXPECT_GT(test::readFile(moved).size(), 0u);
}
#endif

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
TEST(Example, CoinsWalksWhileAKeyIsHeldAndStopsFlushAtTheWall) {
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
    // Walls stop it in the cell next to the wall, flush, for as long as the key is held.
    const auto stopped = waitFor(coins, 10s, at(1.5f));
    std::this_thread::sleep_for(500ms);
    const auto still = screenshot();
    ASSERT_EQ(run("xdotool keyup Left"), 0);
    ASSERT_TRUE(stopped && still);
    EXPECT_NEAR(centreOf(*still, GREEN, 11), 1.5f, 0.3f);
    EXPECT_EQ(count(*still, GREEN, 0, 11, 1, 12), 0); // nothing of it in the wall's cell
    EXPECT_TRUE(still->saveToFile(test::screenshot("coins.png")));
    EXPECT_GT(count(*still, sf::Color(110, 110, 140), 0, 11, 1, 12), 0); // the wall is drawn there
    ASSERT_EQ(run("xdotool key q"), 0);
    EXPECT_EQ(coins.exit(5000ms), 0) << coins.text();
    EXPECT_EQ(test::countLines(test::readFile(dir.getPath() / "coins.log"), "ERROR"), 0);
}
#endif

TEST(FullRound, GameOverAfterThreeMinutesThenTheTitleWithTheScore) {
    ASSERT_EQ(run("xdotool mousemove 512 384"), 0);
    Session s{"mx-font.ttf", "sprites", "sounds"};
    ASSERT_TRUE(waitFor(s.program, 20s, title));
    ASSERT_EQ(run("xdotool key space"), 0);
    const auto start = Clock::now();
    std::this_thread::sleep_for(160s); // 5400 frames of 33 ms are 178.2 s
    const auto over = waitFor(s.program, 80s, [](const sf::Image& i) { return count(i, RED, 6, 7, 74, 17) > 2000; });
    ASSERT_TRUE(over);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_GT(seconds, 170);
    EXPECT_LT(seconds, 240);
    EXPECT_TRUE(showsText(*over, 37, 1, "|0:00|"));
    ASSERT_TRUE(over->saveToFile(test::screenshot("gameover.png")));

    const auto after = waitFor(s.program, 20s, [](const sf::Image& i) { return title(i) && count(i, WHITE, 20, 16, 30, 17) > 0; });
    ASSERT_TRUE(after);
    EXPECT_TRUE(showsText(*after, 20, 16, "Time's Up!"));
    std::string score; // read digit by digit
    for (float col = 36; count(*after, BACKGROUND, col, 17, col + 1, 18) > 0; ++col) {
        for (char d = '0'; d <= '9'; ++d) {
            if (showsText(*after, col, 17, std::string(1, d))) score += d;
        }
    }
    ASSERT_FALSE(score.empty());
    EXPECT_TRUE(showsText(*after, 25, 17, "Score was: " + score));
    EXPECT_EQ((score.back() - '0') % 2, 0); // two points a bird
    ASSERT_TRUE(after->saveToFile(test::screenshot("title-after-game.png")));
    s.quit();
    EXPECT_EQ(test::countLines(s.log(), "ERROR"), 0);
}

} // namespace
