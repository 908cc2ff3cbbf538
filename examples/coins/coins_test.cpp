// Coins tested without a window: the engine starts headless, a script of input holds the
// keys, and the test reads the screen as text and looks into the world.
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include <mx/DisplayManager.h>
#include <mx/GameManager.h>
#include <mx/Object.h>
#include <mx/InputManager.h>
#include <mx/Version.h>
#include <mx/WorldManager.h>

#include "coins.h"

namespace {

class CoinsTest : public ::testing::Test {
protected:
    void SetUp() override {
        mx::DisplayManager::getInstance().setHeadless(true); // no window, no display needed
        setUpEngine();
        ASSERT_EQ(mx::GameManager::getInstance().startUp(), 0);
    }

    void TearDown() override { mx::GameManager::getInstance().shutDown(); }

    /// Starts the game and runs it to the end of the input script begun (which seeded the
    /// engine's random numbers as the script says: the coins land where they did then).
    static void playToTheEnd() {
        startCoins();
        mx::GameManager::getInstance().run();
    }

    /// Plays script lines such as "0 key pressed RIGHT" (a key goes down in the first frame)
    /// for a number of frames.
    static void play(const std::string& lines, int frames) {
        std::istringstream script("moltrix-input 1\nengine " + std::string(mx::engineVersion()) + "\nseed 1\n" +
                                  lines + "end " + std::to_string(frames) + "\n");
        ASSERT_EQ(mx::InputManager::getInstance().startReplayFromStream(script, "test"), 0);
        playToTheEnd();
    }

    /// What the screen showed last, as text.
    static const mx::CellGrid& screen() { return mx::DisplayManager::getInstance().getGrid(); }

    /// The player's position in the world.
    static mx::Vector player() {
        return mx::WorldManager::getInstance().objectsOfType("Player")[0]->getPosition();
    }
};

TEST_F(CoinsTest, ThePlayerWalksWhileAKeyIsHeld) {
    play("0 key pressed RIGHT\n"
         "8 key released RIGHT\n",
         12);
    // Half a cell a frame for eight frames, from the centre of cell (10, 11).
    EXPECT_EQ(player().x, 14.5f);
    EXPECT_EQ(screen().getRow(11).find('@'), 14u) << screen();
}

TEST_F(CoinsTest, AWallStopsThePlayerFlushBesideIt) {
    ASSERT_EQ(mx::InputManager::getInstance().startReplay("input/left-to-the-wall.txt"), 0);
    playToTheEnd();
    EXPECT_EQ(player().x, 1.5f);
    EXPECT_EQ(screen().getRow(11).substr(0, 3), "#@ ") << screen();
    EXPECT_NE(screen().getRow(0).find("Score"), std::string::npos);
}

} // namespace
