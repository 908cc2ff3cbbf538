// End-to-end tests: the real moltrix program on the virtual display, played through
// xdotool as a player plays it, judged by screenshots, exit codes and its log.
#include <chrono>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "E2eSupport.h"

using namespace e2e;

namespace {

// The title's logo: 68x12 cells centred on cell (40, 10).
const Area LOGO_AREA = cellArea(6, 4, 68, 12);
// The game-over picture: 68x10 cells centred on the screen.
const Area GAME_OVER_AREA = cellArea(6, 7, 68, 10);
// The hero's cell at the screen centre.
const Area CENTRE_CELL = cellArea(40, 12);
// The field: the screen between the counters at the top and the bottom.
const Area FIELD = cellArea(0, 3, 80, 18);

const sf::Color WHITE{255, 255, 255};

// A full logo frame has some 13000 pixels of pure green; a glyph about 50.
constexpr int LOGO_PIXELS = 8000;
// The hero's glyph "%" has 14 pixels of its pure colour, the pointer's "+" more.
constexpr int HERO_PIXELS = 10;
// Several birds of a colour, not one stray glyph.
constexpr int FLOCK_PIXELS = 100;

std::vector<std::string> dataFiles(bool font, bool sprites) {
    std::vector<std::string> files{"sounds"};
    if (font) files.emplace_back("mx-font.ttf");
    if (sprites) files.emplace_back("sprites");
    return files;
}

bool showsLogo(const sf::Image& shot) {
    return countColor(shot, LOGO_AREA, LOGO_GREEN) > LOGO_PIXELS;
}

/// The hero in this colour at the centre cell, and nothing of its other colour there.
bool heroAtCentre(const sf::Image& shot, sf::Color color) {
    const sf::Color other = sameColor(color, HERO_GREEN) ? CALLING_ORANGE : HERO_GREEN;
    return countColor(shot, CENTRE_CELL, color) >= HERO_PIXELS && countColor(shot, CENTRE_CELL, other) == 0;
}

bool allFlocksInField(const sf::Image& shot) {
    for (const sf::Color& color : FLOCK) {
        if (countColor(shot, FIELD, color) < FLOCK_PIXELS) return false;
    }
    return true;
}

bool showsGameOver(const sf::Image& shot) {
    return countColor(shot, GAME_OVER_AREA, GAME_OVER_RED) > 2000;
}

/// Pixels of the ground tiles: faint, translucent green over the background.
int countGround(const sf::Image& shot, const Area& area) {
    return countPixels(shot, area, [](sf::Color c, int, int) {
        return c.r == 0 && c.b == 0 && c.g > BACKGROUND.g && c.g < 100;
    });
}

/// Pixels outside all the areas that are not the background colour.
int countNotBackgroundOutside(const sf::Image& shot, std::initializer_list<Area> areas) {
    return countPixels(shot, SCREEN, [&](sf::Color c, int x, int y) {
        for (const Area& a : areas) {
            if (a.contains(x, y)) return false;
        }
        return !sameColor(c, BACKGROUND);
    });
}

struct PlacedText {
    std::string text;
    float column;
    float row;
    std::size_t cells; // compared from column on
    sf::Color color;
};

/// Reads a number off the screen: the first n in 0..maximum whose text, painted where
/// place(n) puts it, matches the screenshot (-1 if none does). place may skip an n.
int readNumber(const sf::Image& shot, CellPicture& picture, int maximum,
               const std::function<std::optional<PlacedText>(int)>& place) {
    for (int n = 0; n <= maximum; ++n) {
        const std::optional<PlacedText> placed = place(n);
        if (!placed) continue;
        picture.clear();
        picture.write(placed->column, placed->row, placed->text, placed->color);
        if (picture.matchesAllCells(shot, placed->column, placed->row, placed->cells)) return n;
    }
    return -1;
}

/// Starts the program in a scratch folder with the given data files.
class Player {
public:
    explicit Player(const std::vector<std::string>& files) : dir(makeDir(files)), program(dir.getPath()) {}

    test::ScratchDir dir;
    Program program;

    [[nodiscard]] std::filesystem::path log() const { return dir.getPath() / "Moltrix.log"; }

    /// Presses Q and expects the program to finish with code 0.
    void quit() {
        ASSERT_EQ(xdotool("key q"), 0);
        const auto pressed = Clock::now();
        const std::optional<int> code = program.waitForExit(5000ms);
        ASSERT_TRUE(code.has_value()) << "still running 5 s after Q";
        EXPECT_EQ(*code, 0) << program.output();
        std::cout << "[ exit    ] " << secondsSince(pressed) << " s after Q\n";
    }

private:
    static test::ScratchDir makeDir(const std::vector<std::string>& files) {
        switch (files.size()) {
        case 1: return test::ScratchDir{files[0].c_str()};
        case 2: return test::ScratchDir{files[0].c_str(), files[1].c_str()};
        default: return test::ScratchDir{files[0].c_str(), files[1].c_str(), files[2].c_str()};
        }
    }
};

/// Reads the log of a finished program: well-formed lines, no errors, every line
/// also on its standard output. Returns the number of frame overruns reported.
int expectCleanLog(Player& player) {
    EXPECT_TRUE(std::filesystem::exists(player.log()));
    const LogSummary log(test::readFile(player.log()));
    EXPECT_EQ(log.errors, 0) << log.text();
    EXPECT_EQ(log.info, 0) << "the default verbosity logs no INFO lines:\n" << log.text();
    EXPECT_TRUE(log.malformed.empty()) << log.malformed.front();
    const std::string output = player.program.output();
    for (const std::string& line : log.lines) {
        EXPECT_NE(output.find(line), std::string::npos) << "missing from standard output: " << line;
    }
    std::cout << "[ log     ] " << log.lines.size() << " lines, " << log.overruns << " frame overrun warnings\n";
    return log.overruns;
}

} // namespace

// A player starts the program, reads the title, starts a game, flies to the top-left
// corner, calls the birds and quits.
TEST(Session, TitleGameFlightCallingAndQuit) {
    ASSERT_EQ(xdotool("mousemove 512 384"), 0); // the pointer on the hero's cell: no course
    Player player(dataFiles(true, true));
    ASSERT_TRUE(player.program.wasStarted());
    Program& program = player.program;

    // The title shows the logo and nothing else.
    const auto title = waitForScreen(program, "the title", 20s, showsLogo);
    ASSERT_TRUE(title);
    std::cout << "[ title   ] after " << secondsSince(program.startTime()) << " s, "
              << countColor(*title, LOGO_AREA, LOGO_GREEN) << " logo pixels\n";
    EXPECT_EQ(countColorOutside(*title, LOGO_AREA, LOGO_GREEN), 0) << "logo pixels outside the logo's cells";
    EXPECT_EQ(countNotBackgroundOutside(*title, {LOGO_AREA}), 0) << "something besides the logo is drawn";
    saveScreenshot(*title, "title.png");

    // SPACE starts a game: the hero at the centre among birds of all four flocks.
    ASSERT_EQ(xdotool("key space"), 0);
    const auto game = waitForScreen(program, "the game", 10s, [](const sf::Image& shot) {
        return heroAtCentre(shot, HERO_GREEN) && allFlocksInField(shot);
    });
    ASSERT_TRUE(game);
    EXPECT_EQ(countColor(*game, SCREEN, LOGO_GREEN), 0) << "the logo is still drawn during the game";
    EXPECT_GT(countGround(*game, FIELD), 0) << "no ground tiles";
    // The counters: a flock's colour in each corner, the timer and the score in white.
    EXPECT_GT(countColor(*game, cellArea(0, 0, 26, 3), FLOCK[0]), FLOCK_PIXELS);
    EXPECT_GT(countColor(*game, cellArea(54, 0, 26, 3), FLOCK[1]), FLOCK_PIXELS);
    EXPECT_GT(countColor(*game, cellArea(0, 21, 26, 3), FLOCK[2]), FLOCK_PIXELS);
    EXPECT_GT(countColor(*game, cellArea(54, 21, 26, 3), FLOCK[3]), FLOCK_PIXELS);
    EXPECT_GT(countColor(*game, cellArea(34, 0, 12, 3), WHITE), FLOCK_PIXELS);
    EXPECT_GT(countColor(*game, cellArea(30, 21, 20, 3), WHITE), FLOCK_PIXELS);
    for (int i = 0; i < 4; ++i) {
        std::cout << "[ game    ] " << FLOCK_NAMES[i] << " pixels in the field: " << countColor(*game, FIELD, FLOCK[i])
                  << "\n";
    }
    std::cout << "[ game    ] ground pixels in the field: " << countGround(*game, FIELD) << "\n";
    saveScreenshot(*game, "game.png");

    // The pointer up-left at cell (20, 2): a course of (-2, -1) from the centre reaches
    // the corner (-100, -50) of the world in about 100 / (0.5 * 2 / sqrt(5)) = 224 frames.
    // The hero stays at the centre cell all the way while the view follows it; once it
    // stops in the corner, the world lies right of and below the centre, nothing is drawn
    // beyond its walls and the magenta nest (10x4 cells centred at (-95, -45)) stands at
    // cells (40..49, 15..18).
    const char* const NEST[] = {"  .()().  ", "-\\=~=~=~/-", " \\\\/\\/\\// ", "  `~==~'  "};
    int nestCells = 0;
    for (const char* row : NEST) {
        for (const char* c = row; *c != '\0'; ++c) nestCells += *c != ' ' ? 1 : 0;
    }
    CellPicture nest;
    ASSERT_TRUE(nest.isReady());
    for (int row = 0; row < 4; ++row) nest.write(40, static_cast<float>(15 + row), NEST[row], FLOCK[0]);
    const auto nestCellsSeen = [&](const sf::Image& shot) {
        int seen = 0;
        for (int row = 0; row < 4; ++row) seen += nest.matchingCells(shot, 40, static_cast<float>(15 + row), NEST[row]);
        return seen;
    };
    const Area beyondLeftWall = cellArea(0, 3, 39, 18);
    const Area beyondTopWall = cellArea(0, 3, 80, 8);
    const auto inCorner = [&](const sf::Image& shot) {
        return heroAtCentre(shot, HERO_GREEN) && countNotBackground(shot, beyondLeftWall) == 0 &&
               countNotBackground(shot, beyondTopWall) == 0 && 4 * nestCellsSeen(shot) >= 3 * nestCells;
    };
    int flightShots = 0;
    int heroAway = 0;
    ASSERT_EQ(xdotool("mousemove 256 64"), 0);
    const auto takeOff = Clock::now();
    const auto corner = waitForScreen(program, "the hero in the top-left corner", 25s, inCorner, 250ms,
                                      [&](const sf::Image& shot) {
                                          ++flightShots;
                                          if (!heroAtCentre(shot, HERO_GREEN)) {
                                              ++heroAway;
                                              keepForInspection(shot, "hero-not-at-centre");
                                          }
                                      });
    ASSERT_TRUE(corner);
    const double flight = secondsSince(takeOff);
    std::cout << "[ flight  ] corner reached after " << flight << " s, " << flightShots << " screenshots on the way, "
              << nestCellsSeen(*corner) << " of " << nestCells << " nest cells as expected\n";
    EXPECT_EQ(heroAway, 0) << "screenshots during the flight without the hero at the centre cell";
    EXPECT_GE(flightShots, 10) << "the flight was too short to watch";
    // 224 frames of 33 ms: a faster arrival means the hero flies too fast.
    EXPECT_GE(flight, 6.0);

    // Holding the left button: the hero (and the pointer) turn to the calling colour.
    ASSERT_EQ(xdotool("mousedown 1"), 0);
    const Area pointerCell = cellArea(20, 2);
    const auto calling = waitForScreen(program, "the hero calling", 5s, [&](const sf::Image& shot) {
        return heroAtCentre(shot, CALLING_ORANGE) && countColor(shot, pointerCell, CALLING_ORANGE) >= HERO_PIXELS;
    });
    ASSERT_EQ(xdotool("mouseup 1"), 0);
    ASSERT_TRUE(calling);
    EXPECT_EQ(countNotBackground(*calling, beyondLeftWall) + countNotBackground(*calling, beyondTopWall), 0)
        << "the hero left the corner while calling";
    saveScreenshot(*calling, "calling.png");

    // Releasing it ends the call.
    const auto quiet = waitForScreen(program, "the hero quiet again", 5s, [&](const sf::Image& shot) {
        return heroAtCentre(shot, HERO_GREEN) && countColor(shot, pointerCell, HERO_GREEN) >= HERO_PIXELS;
    });
    EXPECT_TRUE(quiet);

    player.quit();
    expectCleanLog(player);
}

// The window's close button ends the program normally, on the title and during a game
// while the hero calls with its looping sound.
TEST(Session, ClosingTheWindowEndsTheProgram) {
    for (const bool inGame : {false, true}) {
        SCOPED_TRACE(inGame ? "closed during a game" : "closed on the title");
        ASSERT_EQ(xdotool("mousemove 512 384"), 0);
        Player player(dataFiles(true, true));
        ASSERT_TRUE(waitForScreen(player.program, "the title", 20s, showsLogo));
        if (inGame) {
            ASSERT_EQ(xdotool("key space"), 0);
            ASSERT_TRUE(waitForScreen(player.program, "the game", 10s,
                                      [](const sf::Image& shot) { return heroAtCentre(shot, HERO_GREEN); }));
            ASSERT_EQ(xdotool("mousedown 1"), 0);
            const auto calling = waitForScreen(player.program, "the hero calling", 5s,
                                               [](const sf::Image& shot) { return heroAtCentre(shot, CALLING_ORANGE); });
            EXPECT_TRUE(calling);
        }
        ASSERT_EQ(closeWindow(), 0);
        const auto closed = Clock::now();
        const std::optional<int> code = player.program.waitForExit(5000ms);
        if (inGame) {
            EXPECT_EQ(xdotool("mouseup 1"), 0);
        }
        ASSERT_TRUE(code.has_value()) << "still running 5 s after the window was closed";
        EXPECT_EQ(*code, 0) << player.program.output();
        std::cout << "[ exit    ] " << secondsSince(closed) << " s after closing\n";
        expectCleanLog(player);
    }
}

// Without its font the program cannot show anything: it says so and fails at once.
TEST(Session, WithoutTheFontTheProgramFailsToStart) {
    Player player(dataFiles(false, true));
    const std::optional<int> code = player.program.waitForExit(10000ms);
    ASSERT_TRUE(code.has_value()) << "still running without a font";
    const double took = secondsSince(player.program.startTime());
    std::cout << "[ exit    ] after " << took << " s\n";
    EXPECT_LT(took, 5.0);
    EXPECT_EQ(*code, 255); // -1 from main
    const std::string output = player.program.output();
    EXPECT_NE(output.find("Failed to start engine"), std::string::npos) << output;
    EXPECT_NE(output.find("ERROR: DisplayManager::startUpImpl(): Failed to find font file: mx-font.ttf"),
              std::string::npos)
        << output;
    // The log file is closed again by then, but holds the display's reason.
    const std::string log = test::readFile(player.log());
    EXPECT_EQ(test::countLines(log, "ERROR: DisplayManager::startUpImpl(): Failed to find font file: mx-font.ttf"), 1)
        << log;
}

// Without its sprites the program still runs: a blank title, a game on bare ground,
// and an error in the log for every sprite file it could not open.
TEST(Session, WithoutSpritesTheProgramRunsAndLogsEachMissingFile) {
    ASSERT_EQ(xdotool("mousemove 512 384"), 0);
    Player player(dataFiles(true, false));
    Program& program = player.program;

    // Xvfb's root window is black: a screen of the background colour is the window.
    const auto blank = [](const sf::Image& shot) { return countNotBackground(shot, SCREEN) == 0; };
    ASSERT_TRUE(waitForScreen(program, "the window", 20s, blank));
    // It stays blank (no logo) over the next second or so of frames.
    for (int i = 0; i < 5; ++i) {
        std::this_thread::sleep_for(300ms);
        ASSERT_TRUE(program.isRunning()) << program.output();
        const auto shot = screenshot();
        ASSERT_TRUE(shot);
        EXPECT_EQ(countColor(*shot, SCREEN, LOGO_GREEN), 0);
        EXPECT_EQ(countNotBackground(*shot, SCREEN), 0) << keepForInspection(*shot, "blank-title");
    }

    // The game still starts: the hero and the birds, on bare ground.
    ASSERT_EQ(xdotool("key space"), 0);
    const auto game = waitForScreen(program, "the game without sprites", 10s, [](const sf::Image& shot) {
        return heroAtCentre(shot, HERO_GREEN) && allFlocksInField(shot);
    });
    ASSERT_TRUE(game);
    EXPECT_EQ(countGround(*game, SCREEN), 0) << keepForInspection(*game, "ground");
    std::this_thread::sleep_for(500ms);
    player.quit();

    const LogSummary log(test::readFile(player.log()));
    const std::string text = log.text();
    for (const char* file : {"logo", "gameover", "background"}) {
        const std::string error =
            std::string("ERROR: ResourceManager::loadSprite(): Failed to open file: 'sprites/") + file + ".txt'";
        EXPECT_EQ(test::countLines(text, error), 1) << text;
        // Logged while loading, before the first frame.
        for (const std::string& line : log.lines) {
            if (line.find(error) != std::string::npos) {
                EXPECT_EQ(line.substr(9, 2), "0 ") << line;
            }
        }
    }
    // Each of the four nests tries its own copy of the nest sprite.
    EXPECT_EQ(test::countLines(text, "ERROR: ResourceManager::loadSprite(): Failed to open file: 'sprites/nest.txt'"), 4)
        << text;
    EXPECT_EQ(test::countLines(text, "Failed to load nest sprite"), 4) << text;
    EXPECT_EQ(log.errors, 7) << text;
    EXPECT_TRUE(log.malformed.empty()) << text;
    std::cout << "[ log     ] " << log.lines.size() << " lines, " << log.overruns << " frame overrun warnings\n";
}

// A whole round: three minutes of play, the game-over picture over the frozen game,
// then the title again with the final score.
TEST(FullRound, GameOverAfterThreeMinutesThenTheTitleWithTheScore) {
    ASSERT_EQ(xdotool("mousemove 512 384"), 0); // the hero stays put all round
    Player player(dataFiles(true, true));
    Program& program = player.program;
    ASSERT_TRUE(waitForScreen(program, "the title", 20s, showsLogo));

    ASSERT_EQ(xdotool("key space"), 0);
    const auto roundStart = Clock::now();
    ASSERT_TRUE(waitForScreen(program, "the game", 10s, [](const sf::Image& shot) {
        return heroAtCentre(shot, HERO_GREEN) && allFlocksInField(shot);
    }));

    // 5400 frames of 33 ms are 178.2 s. Until shortly before, a look now and then:
    // the game goes on.
    int looks = 0;
    while (secondsSince(roundStart) < 165.0) {
        std::this_thread::sleep_for(1s);
        ASSERT_TRUE(program.isRunning()) << program.output();
        if (++looks % 15 == 0) {
            const auto shot = screenshot();
            ASSERT_TRUE(shot);
            ASSERT_FALSE(showsGameOver(*shot)) << "game over after only " << secondsSince(roundStart) << " s";
            EXPECT_TRUE(heroAtCentre(*shot, HERO_GREEN)) << keepForInspection(*shot, "mid-round");
        }
    }
    const auto over = waitForScreen(program, "the game-over picture", 100s, showsGameOver, 200ms);
    ASSERT_TRUE(over);
    const double roundSeconds = secondsSince(roundStart);
    const auto overSeen = Clock::now();
    std::cout << "[ round   ] game over " << roundSeconds << " s after SPACE\n";
    EXPECT_GE(roundSeconds, 170.0);
    EXPECT_LE(roundSeconds, 240.0);
    EXPECT_EQ(countColorOutside(*over, GAME_OVER_AREA, GAME_OVER_RED), 0);
    saveScreenshot(*over, "gameover.png");

    // The game is frozen under the picture: the timer at 0:00, nothing moves.
    CellPicture timer(0, 3);
    ASSERT_TRUE(timer.isReady());
    timer.write(37, 1, "|0:00|", WHITE);
    EXPECT_TRUE(timer.matchesAllCells(*over, 37, 1, 6)) << keepForInspection(*over, "timer");
    std::this_thread::sleep_for(500ms);
    const auto later = screenshot();
    ASSERT_TRUE(later);
    EXPECT_EQ(countPixels(*later, SCREEN,
                          [&](sf::Color c, int x, int y) {
                              return !sameColor(c, over->getPixel({static_cast<unsigned>(x), static_cast<unsigned>(y)}));
                          }),
              0)
        << "the picture changed during the game over: " << keepForInspection(*later, "frozen");

    // About 150 frames later: the title again, with two white lines under the logo.
    const Area timeUp = cellArea(20, 16, 10, 1);
    const Area scoreLine = cellArea(25, 17, 20, 1);
    const auto after = waitForScreen(program, "the title after the round", 20s, [&](const sf::Image& shot) {
        return showsLogo(shot) && countColor(shot, timeUp, WHITE) > 0 && countColor(shot, scoreLine, WHITE) > 0;
    });
    ASSERT_TRUE(after);
    const double titleSeconds = secondsSince(overSeen);
    std::cout << "[ round   ] title back " << titleSeconds << " s after the game-over picture\n";
    EXPECT_GE(titleSeconds, 3.0);
    EXPECT_LE(titleSeconds, 15.0);

    CellPicture lines(16, 2);
    ASSERT_TRUE(lines.isReady());
    lines.write(20, 16, "Time's Up!", WHITE);
    EXPECT_TRUE(lines.matchesAllCells(*after, 20, 16, 10)) << keepForInspection(*after, "times-up");

    // The score's digits start at cell 36 and end at the first blank cell.
    int digits = 0;
    while (digits < 6 && countNotBackground(*after, cellArea(36.0f + static_cast<float>(digits), 17)) > 0) ++digits;
    ASSERT_GE(digits, 1);
    const auto readingStart = Clock::now();
    const int score = readNumber(*after, lines, 999999, [digits](int n) -> std::optional<PlacedText> {
        const std::string text = "Score was: " + std::to_string(n);
        if (static_cast<int>(text.size()) != 11 + digits) return std::nullopt;
        return PlacedText{text, 25, 17, text.size() + 1, WHITE}; // and the blank cell after it
    });
    ASSERT_GE(score, 0) << "no score matches the line: " << keepForInspection(*after, "score");
    EXPECT_EQ(score % 2, 0);

    // At the end of the round the counter showed the same score: twice the birds the
    // four nests collected, as their counters in the corners showed.
    CellPicture top(0, 3);
    CellPicture bottom(21, 3);
    ASSERT_TRUE(top.isReady() && bottom.isReady());
    const int shownScore = readNumber(*over, bottom, 2 * 1000, [](int n) {
        const std::string text = "|Score: " + std::to_string(n) + "|";
        return std::optional<PlacedText>(
            PlacedText{text, 40.0f - static_cast<float>(text.size()) * 0.5f, 22, text.size(), WHITE});
    });
    EXPECT_EQ(shownScore, score) << keepForInspection(*over, "score-counter");
    int collected = 0;
    for (int color = 0; color < 4; ++color) {
        const int column = color % 2; // 0 left, 1 right
        const float row = color < 2 ? 1.0f : 22.0f;
        const int birds = readNumber(*over, color < 2 ? top : bottom, 250, [&](int n) {
            const std::string text = "|Birds " + std::to_string(n) + "|";
            // A third of the screen's width per location: centres at 1/6 and 5/6 of it.
            const auto centre = static_cast<float>(80.0f * static_cast<float>(1 + 4 * column) / 6.0);
            return std::optional<PlacedText>(
                PlacedText{text, centre - static_cast<float>(text.size()) * 0.5f, row, text.size(), FLOCK[color]});
        });
        EXPECT_GE(birds, 0) << "no count matches the " << FLOCK_NAMES[color] << " counter: "
                            << keepForInspection(*over, std::string("counter-") + FLOCK_NAMES[color]);
        std::cout << "[ round   ] " << FLOCK_NAMES[color] << " birds collected: " << birds << "\n";
        collected += birds;
    }
    std::cout << "[ round   ] score " << score << ", read in " << secondsSince(readingStart) << " s\n";
    EXPECT_EQ(score, 2 * collected);

    // The world is gone: only the logo and the two lines are drawn.
    EXPECT_EQ(countNotBackgroundOutside(*after, {LOGO_AREA, timeUp, cellArea(25, 17, 11.0f + digits, 1)}), 0)
        << keepForInspection(*after, "leftovers");
    saveScreenshot(*after, "title-after-game.png");

    player.quit();
    expectCleanLog(player);
}
