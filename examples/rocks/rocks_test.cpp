// Rocks tested without a window: the engine starts headless, the keys come from input
// scripts or straight from the test, and the test reads the screen as text and looks into
// the world.
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <mx/DisplayManager.h>
#include <mx/EventKeyboard.h>
#include <mx/GameManager.h>
#include <mx/InputManager.h>
#include <mx/Object.h>
#include <mx/Version.h>
#include <mx/ViewObject.h>
#include <mx/WorldManager.h>

#include "rocks.h"

namespace {

class RocksTest : public ::testing::Test {
protected:
    void SetUp() override {
        mx::DisplayManager::getInstance().setHeadless(true); // no window, no display needed
        setUpEngine();
        ASSERT_EQ(mx::GameManager::getInstance().startUp(), 0);
        mx::GameManager::getInstance().getRandom().setSeed(7);
        startRocks();
    }

    void TearDown() override { mx::GameManager::getInstance().shutDown(); }

    static mx::WorldManager& world() { return mx::WorldManager::getInstance(); }
    static void run(int frames) { mx::GameManager::getInstance().runFrames(static_cast<std::uint32_t>(frames)); }

    /// A key pressed now, as the window would send it.
    static void press(mx::Keyboard::Key key) {
        const mx::EventKeyboard event(key, mx::KEY_PRESSED);
        world().onEvent(&event);
    }

    /// Keys held from the next frame on, from script lines such as "0 key pressed UP".
    static void hold(const std::string& lines, int frames) {
        std::istringstream script("moltrix-input 1\nengine " + std::string(mx::engineVersion()) + "\nseed 7\n" +
                                  lines + "end " + std::to_string(frames) + "\n");
        ASSERT_EQ(mx::InputManager::getInstance().startReplayFromStream(script, "test"), 0);
    }

    static std::vector<mx::Object*> all(const char* type) {
        const mx::ObjectList list = world().objectsOfType(type);
        return {list.begin(), list.end()};
    }
    static mx::Object* ship() { return all("Ship").empty() ? nullptr : all("Ship")[0]; }
    static int value(const char* label) { return mx::ViewObject::find(label)->getValue(); }
    static const mx::CellGrid& screen() { return mx::DisplayManager::getInstance().getGrid(); }
    static bool shows(const std::string& text) { return screen().getText().find(text) != std::string::npos; }

    /// Takes every rock but the first out of the world; the first stands still at a place.
    static mx::Object* oneRockAt(mx::Vector at) {
        const auto rocks = all("Rock");
        for (std::size_t i = 1; i < rocks.size(); ++i) world().markForDelete(rocks[i], mx::REMOVE_AT_ONCE);
        rocks[0]->setPosition(at);
        rocks[0]->setVelocity(mx::Vector::ZERO);
        return rocks[0];
    }
};

TEST_F(RocksTest, TheTitleGivesWayToAGameInTheSameFrameAndTheNewShipMeetsNothingOfIt) {
    run(3);
    EXPECT_TRUE(shows("R O C K S")) << screen();
    EXPECT_EQ(all("Rock").size(), 6u);
    // A title rock right where the ship appears: cleared only at the frame's end, it would wreck it.
    all("Rock")[0]->setPosition(mx::Vector(80, 24));
    press(mx::Keyboard::SPACE);
    run(1);
    ASSERT_NE(ship(), nullptr);
    EXPECT_EQ(value("Ships"), 3);
    EXPECT_TRUE(all("Burst").empty());
    EXPECT_EQ(value("Wave"), 1);
    ASSERT_EQ(all("Rock").size(), 3u); // the first wave, away from the ship
    for (const mx::Object* rock : all("Rock")) {
        const mx::Vector d = world().displacement(ship()->getPosition(), rock->getPosition());
        EXPECT_GT(mx::Vector(d.x, d.y * 2.5f).getMagnitude(), 29.0f);
    }
    EXPECT_FALSE(shows("R O C K S"));
    EXPECT_EQ(screen().getCell(40, 12).ch, '^') << screen(); // the view follows the ship
}

TEST_F(RocksTest, AShotRockSplitsInTwoItsBurstPlaysFrameByFrameAndBulletsLiveAWhile) {
    press(mx::Keyboard::SPACE);
    run(1);
    oneRockAt(ship()->getPosition() + mx::Vector(0, -8));
    press(mx::Keyboard::SPACE); // fires up, the way the ship points
    std::vector<int> burst; // the frame it shows next, after each frame from the hit on
    for (int frame = 0; frame < 80; ++frame) {
        run(1);
        if (!all("Burst").empty()) burst.push_back(all("Burst")[0]->getFrame());
        else if (!burst.empty()) break;
    }
    const auto rocks = all("Rock");
    ASSERT_EQ(rocks.size(), 2u);
    for (const mx::Object* half : rocks) EXPECT_EQ(half->getAnimation().name, "rock2");
    EXPECT_EQ(value("Score"), 20);
    EXPECT_TRUE(all("Bullet").empty());
    // Each of its four frames in turn, for three frames each (the first drawn in the frame of
    // the hit); then the last stands, and it goes.
    ASSERT_GE(burst.size(), 20u);
    EXPECT_EQ(std::vector<int>(burst.begin(), burst.begin() + 8), (std::vector<int>{0, 0, 1, 1, 1, 2, 2, 2}));
    EXPECT_EQ(std::vector<int>(burst.begin() + 8, burst.end()), std::vector<int>(burst.size() - 8, 3));
    EXPECT_LT(burst.size(), 30u);

    oneRockAt(ship()->getPosition() + mx::Vector(60, 0)); // out of the way
    press(mx::Keyboard::SPACE);
    run(20);
    EXPECT_EQ(all("Bullet").size(), 1u);
    run(4);
    EXPECT_TRUE(all("Bullet").empty());
}

TEST_F(RocksTest, TheShipFliesRoundTheWorldTheViewWithItShowingRocksAcrossTheSeam) {
    press(mx::Keyboard::SPACE);
    run(1);
    mx::Object* rock = oneRockAt(mx::Vector(80, 40));
    // Two taps to the right point it east (the sprite's frame 2); then full thrust.
    hold("0 key pressed RIGHT\n1 key released RIGHT\n2 key pressed RIGHT\n3 key released RIGHT\n4 key pressed UP\n", 400);
    run(4);
    float farthest = 0;
    bool seen = false;
    while (ship()->getPosition().x >= farthest) { // until it comes round the world's edge
        farthest = ship()->getPosition().x;
        run(1);
        ASSERT_EQ(screen().getCell(40, 12).ch, '>') << screen();
        if (farthest > 150 && !seen) {
            seen = true;
            // Just past the seam ahead of it: drawn where the view shows it, 11 cells on.
            rock->setPosition(ship()->getPosition() + mx::Vector(11 - 160, 0));
            run(1);
            EXPECT_EQ(screen().getRow(12).substr(47, 7), "(     )") << screen();
            world().markForDelete(rock, mx::REMOVE_AT_ONCE);
        }
    }
    EXPECT_LT(ship()->getPosition().x, 1.0f); // wrapped to the left edge
    EXPECT_GT(farthest, 159.0f);
    EXPECT_LT(world().getView().left, 0.0f); // the view across the seam
}

TEST_F(RocksTest, LosingTheLastShipEndsTheGameWhichBlinksAndSpaceStartsAnother) {
    press(mx::Keyboard::SPACE);
    run(1);
    for (int left = 2; left >= 0; --left) {
        for (int frame = 0; frame < 200 && ship() == nullptr; ++frame) run(1);
        ASSERT_NE(ship(), nullptr) << "no new ship";
        const mx::Vector wreck = ship()->getPosition();
        oneRockAt(wreck);
        run(1);
        EXPECT_EQ(ship(), nullptr);
        EXPECT_EQ(value("Ships"), left);
        oneRockAt(wreck + mx::Vector(60, 0)); // a new ship waits for a clear screen
    }
    int shown = 0, hidden = 0;
    for (int frame = 0; frame < 120; ++frame) {
        run(1);
        if (shows("SPACE to play again")) (shows("G A M E   O V E R") ? shown : hidden)++;
    }
    EXPECT_GT(shown, 10);
    EXPECT_GT(hidden, 10); // it blinks
    EXPECT_EQ(ship(), nullptr);
    press(mx::Keyboard::SPACE);
    run(1);
    EXPECT_NE(ship(), nullptr);
    EXPECT_EQ(value("Ships"), 3);
    EXPECT_EQ(value("Score"), 0);
    EXPECT_EQ(value("Wave"), 1);
    EXPECT_FALSE(shows("SPACE to play again"));
}

} // namespace
