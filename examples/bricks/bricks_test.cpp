// Bricks tested without a window: the engine starts headless, input scripts play the keys,
// the typed name, the wheel and a gamepad, and the test reads the screen and the save folder.
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include <mx/DisplayManager.h>
#include <mx/EventView.h>
#include <mx/GameManager.h>
#include <mx/InputManager.h>
#include <mx/ResourceManager.h>
#include <mx/Version.h>
#include <mx/ViewObject.h>
#include <mx/WorldManager.h>

#include "bricks.h"

namespace {

namespace fs = std::filesystem;

class BricksTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A folder of the test's own, and the save folder in it.
        folder = fs::temp_directory_path() / ("bricks-test-" + std::string(
                     ::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder);
        fs::create_directories(folder / "data");
        previous = fs::current_path();
        fs::current_path(folder);
#ifdef _WIN32
        ::_wputenv_s(L"APPDATA", (folder / "data").c_str());
#else
        ::setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
#endif
        mx::DisplayManager::getInstance().setHeadless(true);
        start();
    }

    void TearDown() override {
        mx::GameManager::getInstance().shutDown();
        fs::current_path(previous);
        fs::remove_all(folder);
    }

    /// The engine and the game, started as the program starts them.
    static void start() {
        setUpBricks();
        mx::ResourceManager::getInstance().setDataFolder(BRICKS_DATA);
        ASSERT_EQ(mx::GameManager::getInstance().startUp(), 0);
        startBricks();
    }

    /// Plays script lines of format version 2 for a number of frames; how many ran.
    static std::uint32_t play(const std::string& lines, int frames) {
        std::istringstream script("moltrix-input 2\nengine " + std::string(mx::engineVersion()) + "\nseed 1\n" + lines +
                                  "end " + std::to_string(frames) + "\n");
        EXPECT_EQ(mx::InputManager::getInstance().startReplayFromStream(script, "test"), 0);
        return mx::GameManager::getInstance().runFrames(1000);
    }

    /// The last game lost with a score: the ball gone, no lives left.
    static void loseWith(int score) {
        mx::WorldManager& world = mx::WorldManager::getInstance();
        for (mx::Object* ball : world.objectsOfType("Ball")) world.markForDelete(ball);
        for (const mx::EventView& set : {mx::EventView("Score", score, false), mx::EventView("Lives", 0, false)}) {
            world.onEvent(&set);
        }
        mx::GameManager::getInstance().runFrames(2); // the ball goes, then the game is over
    }

    static std::string bottomRow() { return mx::DisplayManager::getInstance().getGrid().getRow(23); }
    static fs::path bestFile() { return fs::path("data") / "Bricks" / "best.txt"; }
    static std::string read(const fs::path& file) {
        std::ostringstream content;
        content << std::ifstream(file).rdbuf();
        return content.str();
    }

    fs::path folder, previous;
};

TEST_F(BricksTest, ANewBestScoreTakesATypedNameAndIsKeptForTheNextRun) {
    loseWith(30);
    EXPECT_NE(mx::DisplayManager::getInstance().getGrid().getText().find("NEW BEST 30! Your name: _"), std::string::npos)
        << mx::DisplayManager::getInstance().getGrid();
    // Characters the grid cannot show are left out; keys are letters while the name is typed:
    // Q does not quit, SPACE does not start a game.
    EXPECT_EQ(play("0 text U+0041\n0 text U+00E9\n0 text U+004E\n1 key pressed BACKSPACE\n"
                   "2 text U+004E\n2 text U+0045\n2 key pressed Q\n2 key pressed SPACE\n3 key pressed ENTER\n",
                   5),
              5u);
    EXPECT_EQ(read(bestFile()), "30 ANE\n");
    EXPECT_NE(bottomRow().find("Best (ANE) 30"), std::string::npos) << bottomRow();
    EXPECT_TRUE(mx::WorldManager::getInstance().objectsOfType("NameEntry").isEmpty());
    // A score below the best asks for nothing.
    mx::GameManager::getInstance().setGameOver(false);
    ASSERT_EQ(play("0 key pressed SPACE\n", 1), 1u);
    loseWith(20);
    EXPECT_TRUE(mx::WorldManager::getInstance().objectsOfType("NameEntry").isEmpty());
    // The next run shows it.
    mx::GameManager::getInstance().shutDown();
    start();
    mx::GameManager::getInstance().runFrames(1);
    EXPECT_NE(bottomRow().find("Best (ANE) 30"), std::string::npos) << bottomRow();
}

TEST_F(BricksTest, ABestScoreFileThatIsNoneCountsAsNoBestScore) {
    mx::GameManager::getInstance().shutDown();
    const std::pair<std::string, std::string> kept[] = {
        {"120 ZED\n", "Best (ZED) 120"},
        {"garbage\n", "Best 0"},
        {"-5 X\n", "Best 0"},
        {"", "Best 0"},
        {std::string(100000, '7') + "\n", "Best 0"},
        {"40 " + std::string(40, 'N'), "Best (NNNNNNNNNNNN) 40"}, // a name longer than any typed, cut
    };
    for (const auto& [content, shown] : kept) {
        std::ofstream(bestFile(), std::ios::binary) << content;
        start();
        mx::GameManager::getInstance().runFrames(1);
        EXPECT_NE(bottomRow().find(shown), std::string::npos) << content.substr(0, 20) << "\n" << bottomRow();
        mx::GameManager::getInstance().shutDown();
    }
    // Something that is no file where the best score would be: the game plays, nothing waits.
    fs::remove(bestFile());
#ifndef _WIN32
    ASSERT_EQ(::mkfifo(bestFile().c_str(), 0600), 0);
#else
    fs::create_directory(bestFile());
#endif
    start();
    EXPECT_EQ(mx::GameManager::getInstance().runFrames(2), 2u);
    EXPECT_NE(bottomRow().find("Best 0"), std::string::npos) << bottomRow();
}

TEST_F(BricksTest, AGamepadSteersAndPausesTheWheelTurnsTheVolumeAndF12TakesAScreenshot) {
    const float start = mx::WorldManager::getInstance().objectsOfType("Paddle")[0]->getPosition().x;
    EXPECT_EQ(play("0 joystick 0 connected\n0 joystick 0 moved x -100\n0 wheel vertical -2 40 12\n"
                   "4 joystick 0 moved x -10\n5 key pressed F12\n6 joystick 0 pressed 7\n",
                   8),
              8u);
    // A cell a frame while the stick is held over; near the middle, it rests.
    EXPECT_EQ(mx::WorldManager::getInstance().objectsOfType("Paddle")[0]->getPosition().x, start - 4.0f);
    EXPECT_EQ(mx::ResourceManager::getInstance().getMasterVolume(), 80.0f);
    EXPECT_NE(bottomRow().find("Volume 80"), std::string::npos) << bottomRow();
    EXPECT_TRUE(mx::WorldManager::getInstance().isPaused()); // Start
    int screenshots = 0;
    for (const auto& file : fs::directory_iterator(fs::path("data") / "Bricks")) {
        screenshots += file.path().filename().string().rfind("screenshot-", 0) == 0 && file.path().extension() == ".txt";
    }
    EXPECT_EQ(screenshots, 1);
    mx::ResourceManager::getInstance().setMasterVolume(100);
}

} // namespace
