// Whole rounds of the game in one process, headless, replaying a session recorded through the
// window: the title, SPACE, three minutes of flight and calls, the game over, the title with
// the score, Q. The first round is checked on the grid, as a player sees it. Under the
// sanitizers nothing may leak or misbehave; in the plain build resident memory must hold
// steady from round to round.
#include <unistd.h>

#include <malloc.h>

#include <mx/ResourceManager.h>

#include "Hero.h"
#include "Menu.h"
#include "GameSetup.h"
#include "ScoreCounter.h"
#include "TestSupport.h"

using namespace mx;

namespace {

#if defined(__SANITIZE_ADDRESS__)
// Memory sizes mean nothing under the sanitizers, and frames are slow there: one round, then
// the start of a second game after the world was cleared, where stale pointers would show.
constexpr int ROUNDS = 1;
constexpr std::uint32_t SECOND_GAME_FRAMES = 1200;
#else
constexpr int ROUNDS = 3;
constexpr std::uint32_t SECOND_GAME_FRAMES = 0;
#endif

/// Resident memory, once the allocator has handed its free pages back: what is in use.
long residentBytes() {
    ::malloc_trim(0);
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return resident * ::sysconf(_SC_PAGESIZE);
}

/// Whether the grid shows a frame of a sprite with its top-left corner at (column, row), in
/// its colour; cells where an object of another kind covers it count as shown.
bool showsSprite(const CellGrid& grid, const Sprite& sprite, int column, int row, const std::string& covers = "") {
    for (int f = 0; f < sprite.getFrameCount(); ++f) {
        bool all = true;
        for (int r = 0; r < sprite.getHeight() && all; ++r) {
            const std::string_view line = sprite.getFrame(f).getRow(r);
            for (int c = 0; c < sprite.getWidth() && all; ++c) {
                const Cell& cell = grid.getCell(column + c, row + r);
                all = (cell.ch == line[static_cast<std::size_t>(c)] && cell.color == sprite.getColor()) ||
                      covers.find(cell.ch) != std::string::npos;
            }
        }
        if (all) return true;
    }
    return false;
}

class Soak : public test::HeadlessTest {
protected:
    /// Replays the recorded round. After the first, the title shows the last round's score,
    /// which the recording's first title did not: its checkpoints no longer hold there, so
    /// later rounds replay without them.
    static void replayRound(int round) {
        const std::filesystem::path file = test::sourceDir() / "tests/data/full-round.txt";
        if (round == 0) {
            ASSERT_EQ(input().startReplay(file), 0);
            return;
        }
        std::istringstream lines(test::readFile(file));
        std::string kept;
        for (std::string line; std::getline(lines, line);) {
            if (line.find(" check ") == std::string::npos) kept += line + '\n';
        }
        replay(kept);
    }
    /// Runs frames until the test holds; how many ran (0 when the run ended first).
    template <typename Test>
    static int framesUntil(Test test) {
        for (int frames = 1; game().runFrames(1) == 1 && !game().getGameOver(); ++frames) {
            if (test()) return frames;
        }
        return 0;
    }
    static const CellGrid& grid() { return display().getGrid(); }
};

TEST_F(Soak, RecordedRoundsShowTheClockTheGameOverAndTheScoreAndMemoryHoldsSteady) {
    Menu* menu = setUpGame();
    ASSERT_NE(menu, nullptr);
    const Sprite& logo = *ResourceManager::getInstance().getSprite("logo");
    const Sprite& gameOver = *ResourceManager::getInstance().getSprite("gameover");
    std::vector<long> resident;
    std::vector<std::uint64_t> hashes;
    for (int round = 0; round < ROUNDS; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        replayRound(round);
        game().setGameOver(false);
        std::uint32_t ran = 0;
        if (round == 0) {
            ASSERT_EQ(game().runFrames(1), 1u);
            EXPECT_TRUE(showsSprite(grid(), logo, 6, 4)) << grid();
            const int title = framesUntil([&] { return !menu->isTitleShown(); }); // SPACE
            EXPECT_EQ(grid().getCell(40, 12).ch, Hero::HERO_CHAR) << grid();
            EXPECT_EQ(grid().getRow(1).substr(37, 6), "|3:00|");
            // Three minutes of frames, to the one.
            const int play = framesUntil([&] { return menu->getRestartCountdown() == Menu::GAME_OVER_STEPS; });
            EXPECT_EQ(play, 180 * 30 - 1);
            EXPECT_EQ(grid().getRow(1).substr(37, 6), "|0:00|");
            EXPECT_TRUE(showsSprite(grid(), gameOver, 6, 7, "&%+")) << grid(); // stopped birds and the hero may cover it
            const ObjectList counters = world().objectsOfType(ScoreCounter::TYPE);
            ASSERT_EQ(counters.size(), 1u);
            const int score = static_cast<ViewObject*>(counters[0])->getValue();
            const int over = framesUntil([&] { return menu->isTitleShown(); });
            EXPECT_EQ(over, Menu::GAME_OVER_STEPS);
            ran = static_cast<std::uint32_t>(1 + title + play + over);
            EXPECT_TRUE(showsSprite(grid(), logo, 6, 4)) << grid();
            EXPECT_EQ(grid().getRow(16).substr(20, 10), "Time's Up!");
            EXPECT_EQ(grid().getRow(17).substr(25, 12 + std::to_string(score).size()), "Score was: " + std::to_string(score) + " ");
            EXPECT_GT(score, 0);
            EXPECT_EQ(score % 2, 0); // two points a bird
        }
        game().run(); // on to the recording's Q, its last frame
        EXPECT_EQ(input().getReplayMismatch(), std::nullopt);
        EXPECT_EQ(ran + game().getStepCount(), input().getReplayFrameCount());
        ASSERT_TRUE(menu->isTitleShown());
        ASSERT_EQ(world().getAllObjects().size(), 1u);
        EXPECT_EQ(world().getAllObjects()[0], menu);
        EXPECT_TRUE(Bird::birdlist.isEmpty());
        EXPECT_EQ(world().getView(), Box(0, 80, 0, 24)); // the next round starts where this one did
        hashes.push_back(game().getWorldHash());
        resident.push_back(residentBytes());
    }
    EXPECT_EQ(std::count(hashes.begin(), hashes.end(), hashes[0]), ROUNDS); // each round is the same round
    if constexpr (SECOND_GAME_FRAMES > 0) {
        replayRound(1);
        game().setGameOver(false);
        EXPECT_EQ(game().runFrames(SECOND_GAME_FRAMES), SECOND_GAME_FRAMES);
        EXPECT_FALSE(menu->isTitleShown());
    }
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_LE(resident.back() - resident.front(), (ROUNDS - 1) * 1000000L)
        << "resident bytes after each round: " << testing::PrintToString(resident);
#endif
}

} // namespace
