// The game's rules in process: the menu's screens, starting and clearing games, nests
// collecting birds, the counters, the score and the timer.
#include <mx/EventKeyboard.h>
#include <mx/EventView.h>
#include <mx/ResourceManager.h>

#include "Hero.h"
#include "Menu.h"
#include "Nest.h"
#include "NestCounter.h"
#include <random>

#include <mx/EventMouse.h>

#include "FlockStep.h"
#include "GameColor.h"
#include "GameSetup.h"
#include "Program.h"
#include "Options.h"
#include "ScoreCounter.h"
#include "TestSupport.h"
#include "Timer.h"
#include "WorldUpdate.h"

using namespace mx;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

TEST(Options, TheCommandLineIsReadOrRefusedWithItsReason) {
    std::string error;
    const auto options = parseOptions({"--headless", "--replay", "a b.txt", "--frames", "300", "--record", "c", "--real-time"}, error);
    ASSERT_TRUE(options) << error;
    EXPECT_TRUE(options->headless && options->realTime && !options->help);
    EXPECT_EQ(options->replay, "a b.txt");
    EXPECT_EQ(options->record, "c");
    EXPECT_EQ(options->frames, 300u);
    const std::pair<std::vector<std::string>, std::string> refused[] = {
        {{"--fast"}, "unknown option '--fast'"},
        {{"--replay"}, "--replay needs a value"},
        {{"--frames", "0"}, "--frames needs a whole number from 1 to 4294967295, not '0'"},
        {{"--frames", "4294967296"}, "--frames needs a whole number from 1 to 4294967295, not '4294967296'"},
        {{"--frames", "9x"}, "--frames needs a whole number from 1 to 4294967295, not '9x'"},
        {{"--real-time", "--frames", "9"}, "--real-time is for --headless runs: a window always keeps real time"},
        {{"--headless", "--record", "r"}, "--headless needs --replay or --frames: without a window nothing else could end the run"},
        // A file name that is none: empty, or the next option (its value left out), as --record used to take it.
        {{"--record", ""}, "--record needs a file name, not an empty one"},
        {{"--record", "--headless", "--frames", "9"}, "--record needs a file name, not the option '--headless' (for a file named so, write ./--headless)"},
        {{"--replay", "-x"}, "--replay needs a file name, not the option '-x' (for a file named so, write ./-x)"},
        {{"--replay", "a", "--replay", "b"}, "--replay is given twice"},
    };
    for (const auto& [arguments, reason] : refused) {
        EXPECT_FALSE(parseOptions(arguments, error));
        EXPECT_EQ(error, reason);
    }
}

TEST(ColorFromFloats, ClampsAndTruncates) {
    EXPECT_EQ(colorFromFloats(1.5f, 0.5f, -1.0f), sf::Color(255, 127, 0, 255));
    EXPECT_EQ(colorFromFloats(0.0f, 0.1f, 0.0f), sf::Color(0, 25, 0, 255));
}

/// The world as the program sets it up, with the game's data and a menu.
class Game : public test::WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        world().setView(Box(100, 180, 40, 64)); // anywhere: the menu centres it
        ASSERT_EQ(resources().startUp(), 0);
        CaptureStdout();
        loadGameResources();
        EXPECT_EQ(GetCapturedStdout(), "");
        menu = new Menu;
    }
    void TearDown() override {
        WorldTest::TearDown();
        resources().shutDown();
        GameManager::getInstance().setGameOver(false);
    }
    static ResourceManager& resources() { return ResourceManager::getInstance(); }
    static void key(Keyboard::Key k, KeyboardAction action) {
        const EventKeyboard event(k, action);
        world().onEvent(&event);
    }
    /// One frame without input or drawing (the index let go as a bird drawn would).
    static void frame() {
        step();
        world().update();
        world().deleteMarked();
        Bird::discardQuadTree();
    }
    template <typename T>
    static std::vector<T*> all() {
        std::vector<T*> found;
        for (Object* o : world().getAllObjects())
            if (auto* t = dynamic_cast<T*>(o)) found.push_back(t);
        return found;
    }
    /// Every bird but the hero, stopped in rows far from the nests and from each other.
    static void parkFlock() {
        int i = 0;
        for (Object* o : Bird::birdlist) {
            if (dynamic_cast<Hero*>(o)) continue;
            o->setPosition(Vector(-75 + 1.5f * static_cast<float>(i % 100), -20 + 2.0f * static_cast<float>(i / 100)));
            o->setVelocity(Vector::ZERO);
            static_cast<Bird*>(o)->setState(STOPPED);
            ++i;
        }
    }
    test::ScratchDir dir{"sprites", "sounds"};
    Menu* menu = nullptr;
};

TEST_F(Game, ReleasingSpaceStartsAGameInTheFixedOrderAndQQuits) {
    EXPECT_EQ(world().getView(), Box(0, 80, 0, 24));
    EXPECT_EQ(menu->getPosition(), Vector(40, 10));
    key(Keyboard::SPACE, KEY_PRESSED); // pressing and holding does nothing
    EXPECT_EQ(world().getAllObjects().size(), 1u);
    key(Keyboard::SPACE, KEY_RELEASED);
    EXPECT_FALSE(menu->isTitleShown());
    std::vector<std::string> kinds;
    for (Object* o : world().getAllObjects()) {
        std::string kind = dynamic_cast<Hero*>(o) ? "Hero" : dynamic_cast<Timer*>(o) ? "Timer"
                         : dynamic_cast<NestCounter*>(o) ? "Counter" : o->getType();
        if (kinds.empty() || kinds.back() != kind) kinds.push_back(kind);
    }
    EXPECT_EQ(kinds, (std::vector<std::string>{"Menu", "", "Hero", "Bird", "ScoreCounter", "Timer", "Nest", "Counter"}));
    EXPECT_EQ(Bird::birdlist.size(), 1001u);
    EXPECT_EQ(static_cast<Bird*>(Bird::birdlist[2])->getColor(), 1); // colours 0, 1, 2, 3 in turn
    const std::vector<Nest*> nests = all<Nest>();
    const std::vector<NestCounter*> counters = all<NestCounter>();
    const Vector places[] = {{-95, -45}, {95, -45}, {-95, 45}, {95, 45}};
    const ViewObjectLocation corners[] = {TOP_LEFT, TOP_RIGHT, BOTTOM_LEFT, BOTTOM_RIGHT};
    for (std::size_t c = 0; c < 4; ++c) {
        EXPECT_EQ(nests[c]->getPosition(), places[c]);
        EXPECT_EQ(resources().getSprite("nest" + std::to_string(c))->getColor(), BIRD_COLORS[c]);
        EXPECT_EQ(counters[c]->getLocation(), corners[c]);
    }
    key(Keyboard::Q, KEY_PRESSED);
    EXPECT_FALSE(GameManager::getInstance().getGameOver());
    key(Keyboard::Q, KEY_RELEASED);
    EXPECT_TRUE(GameManager::getInstance().getGameOver());
}

TEST_F(Game, NestsCollectBirdsOfTheirColourOnly) {
    menu->startGame();
    parkFlock();
    Nest* nest = all<Nest>()[0];
    ScoreCounter* score = all<ScoreCounter>()[0];
    const std::vector<NestCounter*> counters = all<NestCounter>(); // before removals reorder the list
    // Two birds of the nest's colour, one of another colour, and the hero, all on the nest.
    std::vector<Bird*> home;
    Bird* stranger = nullptr;
    for (Object* o : Bird::birdlist) {
        auto* b = static_cast<Bird*>(o);
        if (b->getColor() == 0 && home.size() < 2) home.push_back(b);
        if (b->getColor() == 1 && stranger == nullptr) stranger = b;
    }
    Bird* hero = all<Hero>()[0];
    for (Bird* b : {home[0], home[1], stranger, hero}) {
        b->setPosition(nest->getPosition() + Vector(2, 1));
        b->setVelocity(Vector::ZERO);
        b->setState(STOPPED);
    }
    frame();
    EXPECT_EQ(counters[0]->getValue(), 2);
    EXPECT_EQ(counters[1]->getValue(), 0);
    EXPECT_EQ(score->getValue(), 4);
    EXPECT_EQ(score->getHootCount(), 2);
    // The game's sounds keep one voice: the second hoot started the first again.
    EXPECT_EQ(resources().getSound("Hoot")->getPlayingCount(), 1);
    EXPECT_FALSE(Bird::birdlist.contains(home[0])); // gone after the frame
    EXPECT_TRUE(Bird::birdlist.contains(stranger));
    EXPECT_TRUE(Bird::birdlist.contains(hero));
    // Counters take no view events; the score only its own tag, and a set makes no sound.
    for (const EventView& e : {EventView("Birds", 10, true), EventView("Score:", 10, true), EventView("ScoreEventView", 7, false)}) {
        world().onEvent(&e);
    }
    EXPECT_EQ(counters[0]->getValue(), 2);
    EXPECT_EQ(score->getValue(), 7);
    EXPECT_EQ(score->getHootCount(), 2);
}

TEST_F(Game, TheTimerHandsOverToTheMenuWhichClearsEveryGame150StepsLater) {
    menu->startGame();
    const std::size_t oneGame = world().getAllObjects().size() - 1;
    std::filesystem::remove("sprites/nest.txt"); // a second game must not read it again
    CaptureStdout();
    key(Keyboard::SPACE, KEY_RELEASED);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(world().getAllObjects().size(), 1 + 2 * oneGame);
    EXPECT_EQ(world().getViewFollowing(), all<Hero>()[1]); // the newest hero
    parkFlock();
    Timer* timer = all<Timer>()[0];
    for (int i = 0; i < 29; ++i) step();
    EXPECT_EQ(timer->getText(), "|3:00|");
    step();
    EXPECT_EQ(timer->getText(), "|2:59|"); // the value itself is never shown
    for (const auto& [seconds, text] : {std::pair{65, "1:05"}, std::pair{9, "0:09"}, std::pair{0, "0:00"}}) {
        timer->setValue(seconds);
        EXPECT_EQ(timer->formatTime(), text);
    }
    all<ScoreCounter>()[0]->setValue(42);
    timer->setValue(1);
    for (int i = 0; i < 30; ++i) frame(); // 0:00, and the game over in the same step
    EXPECT_EQ(timer->getViewString(), "0:00");
    EXPECT_TRUE(timer->isStopped());
    EXPECT_EQ(menu->getRestartCountdown(), Menu::GAME_OVER_STEPS);
    const Object* picture = world().getAllObjects()[world().getAllObjects().size() - 1];
    EXPECT_EQ(picture->getAnimation().name, "gameover");
    for (Object* o : Bird::birdlist) EXPECT_TRUE(dynamic_cast<Hero*>(o) || static_cast<Bird*>(o)->getState() == STOPPED);
    for (int i = 1; i < Menu::GAME_OVER_STEPS; ++i) frame();
    EXPECT_GT(world().getAllObjects().size(), 1u);
    EXPECT_FALSE(menu->isTitleShown());
    frame(); // the 150th step
    ASSERT_EQ(world().getAllObjects().size(), 1u); // only the menu survives
    EXPECT_TRUE(menu->isTitleShown());
    EXPECT_EQ(menu->getLastScore(), 42);
    EXPECT_EQ(world().getView(), Box(0, 80, 0, 24));
}

/// A short game from a fixed seed, frame by frame without drawing, by the game's step and
/// world update or by the frozen old ones: the hero roams and calls, nests collect birds,
/// the timer runs out, and the title returns. Every object's state after each frame.
std::vector<std::vector<float>> playShortGame(Menu& menu, bool old) {
    WorldManager& world = WorldManager::getInstance();
    GameManager::getInstance().getRandom().setSeed(77);
    menu.startGame();
    for (Object* o : world.getAllObjects()) {
        if (auto* timer = dynamic_cast<Timer*>(o)) timer->setValue(5); // 150 frames of play
    }
    std::mt19937 random(5);
    std::uniform_real_distribution<float> x(0, 80), y(0, 24);
    std::vector<std::vector<float>> states;
    for (int frame = 0; frame < 320; ++frame) {
        if (Object* hero = world.getViewFollowing(); hero != nullptr && frame % 7 == 0) {
            const EventMouse move(Vector(x(random), y(random)), frame % 21 == 0 ? PRESSED : frame % 21 == 7 ? RELEASED : MOVED, 0);
            hero->eventHandler(&move);
        }
        if (old) {
            reference::stepEvent();
            reference::updateWorld(world);
        } else {
            const EventStep step;
            world.onEvent(&step);
            world.update();
        }
        world.deleteMarked();
        Bird::discardQuadTree();
        std::vector<float>& s = states.emplace_back();
        for (Object* o : world.getAllObjects()) {
            const auto* bird = dynamic_cast<Bird*>(o);
            const auto* view = dynamic_cast<ViewObject*>(o);
            s.insert(s.end(), {o->getPosition().x, o->getPosition().y, o->getVelocity().x, o->getVelocity().y,
                               static_cast<float>(bird ? bird->getState() : view ? view->getValue() : -1)});
        }
    }
    return states;
}

TEST_F(Game, WholeFramesMatchTheOldStepAndUpdate) {
    const auto old = playShortGame(*menu, true);
    const int oldScore = menu->getLastScore();
    const auto lean = playShortGame(*menu, false);
    for (std::size_t frame = 0; frame < old.size(); ++frame) {
        ASSERT_TRUE(old[frame] == lean[frame]) << "the games part at frame " << frame;
    }
    EXPECT_EQ(menu->getLastScore(), oldScore);
    EXPECT_GT(oldScore, 20); // nests collected birds
    EXPECT_TRUE(menu->isTitleShown());
    EXPECT_EQ(old.back().size(), 5u); // only the menu is left
}

/// The game as the program sets it up, without a window; input from scripts.
class HeadlessGame : public test::HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        menu = setUpGame();
        ASSERT_NE(menu, nullptr);
    }
    Menu* menu = nullptr;
};

TEST_F(HeadlessGame, TheViewFollowsTheHeroToTheWorldsCornerAndNothingLiesBeyondItsWalls) {
    replay(script("0 key released SPACE\n1 mouse moved 20 2\nend 400\n")); // up and left
    game().run();
    const CellGrid& grid = display().getGrid();
    EXPECT_EQ(world().getViewFollowing()->getPosition(), Vector(-100, -50));
    EXPECT_EQ(grid.getCell(40, 12).ch, Hero::HERO_CHAR) << grid; // at the centre of the screen
    EXPECT_EQ(grid.getCell(20, 2).ch, Hero::CURSOR_CHAR);
    // Left of the left wall and above the top one, nothing: the counters and the pointer stay above row 3.
    for (int row = 3; row < 21; ++row) {
        for (int column = 0; column < (row < 12 ? 80 : 40); ++column) {
            ASSERT_FALSE(grid.getCell(column, row).isDrawn()) << column << ", " << row << "\n" << grid;
        }
    }
    int nest = 0; // the magenta nest, five cells inside the corner; birds may fly over it
    for (int row = 15; row < 19; ++row) {
        for (int column = 40; column < 50; ++column) nest += grid.getCell(column, row).color == BIRD_COLORS[0];
    }
    EXPECT_GE(nest, 30) << grid;
}

TEST_F(HeadlessGame, TheGameStoresNothingBetweenRuns) {
    // A whole run of the program, as `moltrix --frames 90 --headless` makes it, with the
    // user's folders pointed at empty ones: nothing lands there.
    game().shutDown();
    for (const char* folder : {"data", "state", "home"}) std::filesystem::create_directory(folder);
    test::setUserDataFolder(dir.getPath() / "data");
    test::setUserStateFolder(dir.getPath() / "state");
#ifndef _WIN32
    const std::string home = ::getenv("HOME");
    ::setenv("HOME", (dir.getPath() / "home").c_str(), 1);
#endif
    ProgramOptions options;
    options.headless = true;
    options.frames = 90;
    CaptureStdout();
    EXPECT_EQ(runProgram(options), 0);
    EXPECT_EQ(test::countLines(GetCapturedStdout(), "world hash: "), 1);
#ifndef _WIN32
    ::setenv("HOME", home.c_str(), 1);
#endif
    for (const char* folder : {"data", "state"}) {
        EXPECT_TRUE(std::filesystem::is_empty(folder)) << folder << ": " << std::filesystem::directory_iterator(folder)->path();
    }
    EXPECT_FALSE(std::filesystem::exists("home/.local")); // (the sound system may keep its own in home/.config)
}

} // namespace
