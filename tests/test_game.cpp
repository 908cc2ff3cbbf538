// The game's rules in process: the menu's screens, starting and clearing games, nests
// collecting birds, the counters, the score and the timer.
#include <algorithm>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "Background.h"
#include "EventKeyboard.h"
#include "EventMouse.h"
#include "EventView.h"
#include "FlockTestSupport.h"
#include "GameManager.h"
#include "Hero.h"
#include "Menu.h"
#include "Nest.h"
#include "NestCounter.h"
#include "Program.h"
#include "ResourceManager.h"
#include "ScoreCounter.h"
#include "Timer.h"

using namespace mx;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

TEST(ColorFromFloats, ClampsAndTruncates) {
    EXPECT_EQ(colorFromFloats(1.5f, 0.5f, -1.0f), sf::Color(255, 127, 0, 255));
    EXPECT_EQ(colorFromFloats(0.0f, 0.1f, 0.0f), sf::Color(0, 25, 0, 255));
    EXPECT_EQ(colorFromFloats(1.0f, 0.999f, 0.0001f), sf::Color(255, 254, 0, 255));
}

/// The world as the program sets it up: its boundary, the game's data loaded, a menu.
class Game : public test::FlockTest {
protected:
    void SetUp() override {
        FlockTest::SetUp();
        world().setView(Box(100, 180, 40, 64)); // anywhere: the menu centres it
        resources().shutDown();
        ASSERT_EQ(resources().startUp(), 0);
        CaptureStdout();
        loadGameResources();
        log = GetCapturedStdout();
        menu = new Menu;
    }
    void TearDown() override {
        FlockTest::TearDown();
        resources().shutDown();
        GameManager::getInstance().setGameOver(false);
    }
    static ResourceManager& resources() { return ResourceManager::getInstance(); }

    static void key(Keyboard::Key k, KeyboardAction action) {
        const EventKeyboard event(k, action);
        world().onEvent(&event);
    }
    /// One frame without input and drawing: step, update, deletion, and the index let go.
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
    /// Every bird but the hero, stopped in the middle of the world, far from the nests.
    static void parkFlock() {
        for (Object* o : Bird::birdlist) {
            if (dynamic_cast<Hero*>(o)) continue;
            o->setPosition(Vector(0, 20));
            o->setVelocity(Vector::ZERO);
            static_cast<Bird*>(o)->setState(STOPPED);
        }
    }
    static Bird* birdOf(int color) {
        for (Object* o : Bird::birdlist) {
            auto* b = static_cast<Bird*>(o);
            if (b->getColor() == color) return b;
        }
        return nullptr;
    }

    test::ScratchDir dir{"sprites", "sounds"};
    std::string log;
    Menu* menu = nullptr;
};

TEST_F(Game, TheTitleCentresTheViewAndShowsTheLogo) {
    EXPECT_EQ(log, ""); // all the game's data loaded
    EXPECT_EQ(resources().getSpriteCount(), 3);
    EXPECT_EQ(resources().getSoundCount(), 2);
    EXPECT_EQ(menu->getType(), "Menu");
    EXPECT_EQ(world().getView(), Box(0, 80, 0, 24));
    EXPECT_EQ(menu->getPosition(), Vector(40, 10));
    EXPECT_EQ(menu->getAnimation().name, "logo");
    EXPECT_TRUE(menu->isTitleShown());
    EXPECT_FALSE(menu->isGameRunning());
    EXPECT_EQ(menu->getLastScore(), -1);
    EXPECT_EQ(menu->getRestartCountdown(), -1);
}

TEST_F(Game, ReleasingSpaceStartsAGameInTheFixedOrder) {
    key(Keyboard::SPACE, KEY_PRESSED); // pressing and holding does nothing
    EXPECT_EQ(world().getAllObjects().size(), 1u);
    key(Keyboard::SPACE, KEY_RELEASED);
    EXPECT_FALSE(menu->isTitleShown());
    EXPECT_TRUE(menu->isGameRunning());

    const ObjectList& objects = world().getAllObjects();
    std::vector<std::string> kinds;
    for (Object* o : objects) {
        std::string kind = o->getType();
        if (dynamic_cast<Background*>(o)) kind = "Background";
        else if (dynamic_cast<Hero*>(o)) kind = "Hero";
        else if (dynamic_cast<NestCounter*>(o)) kind = "NestCounter";
        else if (dynamic_cast<Timer*>(o)) kind = "Timer";
        else if (kind.empty()) kind = "Tile";
        if (kinds.empty() || kinds.back() != kind) kinds.push_back(kind);
    }
    EXPECT_EQ(kinds, (std::vector<std::string>{"Menu", "Background", "Tile", "Hero", "Bird", "ScoreCounter",
                                               "Timer", "Nest", "NestCounter"}));
    EXPECT_EQ(Bird::birdlist.size(), 1001u);
    for (int i = 0; i < 8; ++i) { // the flock colours alternate 0, 1, 2, 3
        EXPECT_EQ(static_cast<Bird*>(Bird::birdlist[static_cast<std::size_t>(i) + 1])->getColor(), i % 4);
    }
    const std::vector<Nest*> nests = all<Nest>();
    ASSERT_EQ(nests.size(), 4u);
    const Vector places[] = {{-95, -45}, {95, -45}, {-95, 45}, {95, 45}};
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(nests[static_cast<std::size_t>(c)]->getColor(), c);
        EXPECT_EQ(nests[static_cast<std::size_t>(c)]->getPosition(), places[c]);
        EXPECT_EQ(resources().getSprite("nest" + std::to_string(c))->getColor(), BIRD_COLORS[c]);
    }
    const std::vector<NestCounter*> counters = all<NestCounter>();
    ASSERT_EQ(counters.size(), 4u);
    const ViewObjectLocation corners[] = {TOP_LEFT, TOP_RIGHT, BOTTOM_LEFT, BOTTOM_RIGHT};
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(counters[static_cast<std::size_t>(c)]->getLocation(), corners[c]);
        EXPECT_EQ(counters[static_cast<std::size_t>(c)]->getColor(), BIRD_COLORS[c]);
        EXPECT_EQ(counters[static_cast<std::size_t>(c)]->getText(), "|Birds 0|");
    }
    EXPECT_EQ(all<ScoreCounter>()[0]->getText(), "|Score: 0|");
    EXPECT_EQ(all<Timer>()[0]->getText(), "|3:00|");
    EXPECT_EQ(world().getViewFollowing(), all<Hero>()[0]);

    key(Keyboard::Q, KEY_PRESSED);
    EXPECT_FALSE(GameManager::getInstance().getGameOver());
    key(Keyboard::Q, KEY_RELEASED); // quits in any state
    EXPECT_TRUE(GameManager::getInstance().getGameOver());
}

TEST_F(Game, NestsCollectBirdsOfTheirColourOnly) {
    menu->startGame();
    parkFlock();
    Nest* nest = all<Nest>()[0];
    NestCounter* counter = all<NestCounter>()[0];
    NestCounter* otherCounter = all<NestCounter>()[1];
    ScoreCounter* score = all<ScoreCounter>()[0];
    Hero* hero = all<Hero>()[0];
    Bird* home = birdOf(0);
    Bird* stranger = birdOf(1);
    for (Bird* b : {static_cast<Bird*>(hero), home, stranger}) {
        b->setPosition(nest->getPosition());
        b->setVelocity(Vector::ZERO);
        b->setState(STOPPED); // keep them on the nest through the step
    }
    const std::size_t birds = Bird::birdlist.size();
    frame();
    EXPECT_EQ(counter->getValue(), 1);
    EXPECT_EQ(otherCounter->getValue(), 0);
    EXPECT_EQ(score->getValue(), 2);
    EXPECT_EQ(score->getHootCount(), 1);
    EXPECT_EQ(Bird::birdlist.size(), birds - 1); // gone after the frame
    EXPECT_FALSE(Bird::birdlist.contains(home));
    EXPECT_TRUE(Bird::birdlist.contains(stranger));
    EXPECT_TRUE(Bird::birdlist.contains(hero));

    // Two of the colour in one update: both counted, one hoot each.
    Bird* first = birdOf(0);
    Bird* second = nullptr;
    for (Object* o : Bird::birdlist)
        if (o != first && static_cast<Bird*>(o)->getColor() == 0) second = static_cast<Bird*>(o);
    for (Bird* b : {first, second}) {
        b->setPosition(nest->getPosition() + Vector(2, 1));
        b->setState(STOPPED);
    }
    frame();
    EXPECT_EQ(counter->getValue(), 3);
    EXPECT_EQ(score->getValue(), 6);
    EXPECT_EQ(score->getHootCount(), 3);

    // Counters take no view events; the score takes only its own tag, and a set makes no sound.
    const EventView birdsTag("Birds", 10, true);
    world().onEvent(&birdsTag);
    EXPECT_EQ(counter->getValue(), 3);
    const EventView scoreLabel("Score:", 10, true);
    world().onEvent(&scoreLabel);
    EXPECT_EQ(score->getValue(), 6);
    const EventView set("ScoreEventView", 7, false);
    world().onEvent(&set);
    EXPECT_EQ(score->getValue(), 7);
    EXPECT_EQ(score->getHootCount(), 3);
}

TEST_F(Game, TheTimerCountsFramesAndHandsOverToTheMenu) {
    auto* timer = new Timer;
    EXPECT_EQ(timer->getText(), "|3:00|");
    for (int i = 0; i < 29; ++i) step();
    EXPECT_EQ(timer->getViewString(), "3:00");
    step();
    EXPECT_EQ(timer->getViewString(), "2:59");
    EXPECT_EQ(timer->getValue(), 179);
    for (const auto& [seconds, text] : std::vector<std::pair<int, std::string>>{
             {180, "3:00"}, {179, "2:59"}, {65, "1:05"}, {9, "0:09"}, {0, "0:00"}, {-5, "0:0-5"}}) {
        timer->setValue(seconds);
        EXPECT_EQ(timer->formatTime(), text);
    }

    menu->startGame();
    Timer* gameTimer = all<Timer>()[1];
    gameTimer->setValue(1);
    timer->setValue(500);
    for (int i = 0; i < 29; ++i) step();
    EXPECT_TRUE(menu->isGameRunning());
    step(); // 0:00, and the game over comes in the same step
    EXPECT_EQ(gameTimer->getViewString(), "0:00");
    EXPECT_FALSE(menu->isGameRunning());
    EXPECT_EQ(menu->getRestartCountdown(), Menu::GAME_OVER_STEPS);
    EXPECT_TRUE(gameTimer->isStopped());
    EXPECT_TRUE(timer->isStopped()); // every timer hears "GameOver"
    for (int i = 0; i < 60; ++i) step();
    EXPECT_EQ(gameTimer->getViewString(), "0:00");
    EXPECT_EQ(gameTimer->getText(), "|0:00|"); // the value itself is never shown
}

TEST_F(Game, GameOverFreezesTheFlockAndClearsTheWorld150StepsLater) {
    menu->startGame();
    Hero* hero = all<Hero>()[0];
    ScoreCounter* score = all<ScoreCounter>()[0];
    const EventMouse course(Vector(60, 12), MOVED, UNDEFINED_MOUSE_BUTTON);
    hero->eventHandler(&course);
    frame();
    const std::size_t objects = world().getAllObjects().size();

    menu->gameOver();
    score->setValue(42); // birds stand still from now on: no more are collected
    EXPECT_EQ(world().getAllObjects().size(), objects + 1); // the game-over picture
    const Object* picture = world().getAllObjects()[objects];
    EXPECT_EQ(picture->getAnimation().name, "gameover");
    const Box view = world().getView();
    EXPECT_EQ(picture->getPosition(), Vector((view.left + view.right) / 2, (view.top + view.bottom) / 2));
    EXPECT_FALSE(hero->isActive());
    frame();
    for (Object* o : Bird::birdlist) {
        if (o != hero) {
            EXPECT_EQ(static_cast<Bird*>(o)->getState(), STOPPED);
            EXPECT_EQ(o->getVelocity(), Vector::ZERO);
        }
    }
    EXPECT_NE(hero->getVelocity(), Vector::ZERO); // flies on until the next mouse event
    hero->eventHandler(&course);
    EXPECT_EQ(hero->getVelocity(), Vector::ZERO);

    for (int i = 2; i < Menu::GAME_OVER_STEPS; ++i) frame(); // 149 step events so far
    EXPECT_EQ(world().getAllObjects().size(), objects + 1);
    EXPECT_FALSE(menu->isTitleShown());
    frame();
    ASSERT_EQ(world().getAllObjects().size(), 1u); // only the menu survives
    EXPECT_EQ(world().getAllObjects()[0], menu);
    EXPECT_TRUE(Bird::birdlist.isEmpty());
    EXPECT_TRUE(menu->isTitleShown());
    EXPECT_EQ(menu->getLastScore(), 42);
    EXPECT_EQ(world().getView(), Box(0, 80, 0, 24));
    EXPECT_EQ(world().getViewFollowing(), nullptr);
}

TEST_F(Game, ASecondGameDoublesTheObjectsAndReusesTheNestSprites) {
    menu->startGame();
    const std::size_t oneGame = world().getAllObjects().size() - 1;
    std::filesystem::remove("sprites/nest.txt"); // a second game must not read it again
    CaptureStdout();
    key(Keyboard::SPACE, KEY_RELEASED);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(world().getAllObjects().size(), 1 + 2 * oneGame);
    EXPECT_EQ(world().getViewFollowing(), all<Hero>()[1]); // the newest hero
    EXPECT_EQ(resources().getSpriteCount(), 3 + 4);
    frame();
    menu->gameOver();
    const int firstScore = all<ScoreCounter>()[0]->getValue();
    for (int i = 0; i < Menu::GAME_OVER_STEPS; ++i) frame();
    EXPECT_EQ(world().getAllObjects().size(), 1u);
    EXPECT_EQ(menu->getLastScore(), firstScore); // the first score counter's
}

TEST_F(Game, WithoutTheNestSpriteNestsStillCollect) {
    std::filesystem::remove("sprites/nest.txt");
    CaptureStdout();
    auto* nest = new Nest(2, Vector(10, 10));
    const std::string out = GetCapturedStdout();
    EXPECT_EQ(test::countLines(out, "Failed to open file: 'sprites/nest.txt'"), 1);
    EXPECT_EQ(test::countLines(out, "Failed to load nest sprite"), 1);
    EXPECT_EQ(nest->getBox(), Box(-0.5f, 0.5f, -0.5f, 0.5f));
    auto* counter = new NestCounter(2, BOTTOM_LEFT);
    Bird* b = bird(2, Vector(10.5f, 10.2f));
    b->setState(STOPPED);
    frame();
    EXPECT_EQ(counter->getValue(), 1);
    EXPECT_FALSE(Bird::birdlist.contains(b));

    // Cleared without a score counter in the world, the title shows no score.
    menu->gameOver();
    for (int i = 0; i < Menu::GAME_OVER_STEPS; ++i) frame();
    EXPECT_EQ(menu->getLastScore(), -1);
}

} // namespace
