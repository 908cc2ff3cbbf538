// The hero: steering from the screen centre, calling with its sound, game over, walls,
// and the whole path from real mouse input to its course while the view follows it.
#include <chrono>
#include <cstdlib>
#include <thread>

#include "Background.h"
#include "DisplayTestSupport.h"
#include "EventMouse.h"
#include "FlockTestSupport.h"
#include "GameManager.h"
#include "Hero.h"
#include "InputManager.h"
#include "ResourceManager.h"

using namespace mx;

namespace {

class HeroTest : public test::FlockTest {
protected:
    void SetUp() override {
        FlockTest::SetUp();
        resources().shutDown();
        ASSERT_EQ(resources().startUp(), 0);
        ASSERT_EQ(resources().loadSound((test::sourceDir() / "tests/data/beep.mp3").string(), "Scream"), 0);
        hero = new Hero;
    }
    void TearDown() override {
        FlockTest::TearDown();
        resources().shutDown();
    }
    static ResourceManager& resources() { return ResourceManager::getInstance(); }
    static sf::Sound& scream() { return *ResourceManager::getInstance().getSound("Scream")->getSound(); }
    void mouse(Vector at, MouseAction action, int button) const {
        const EventMouse event(at, action, button);
        EXPECT_EQ(hero->eventHandler(&event), 1);
    }
    Hero* hero = nullptr;
};

TEST_F(HeroTest, StartsAtTheWorldCentreFollowedByTheView) {
    EXPECT_EQ(hero->getPosition(), Vector(0, 0));
    EXPECT_EQ(hero->getVelocity(), Vector::ZERO);
    EXPECT_EQ(hero->getCursor(), Vector(40, 12));
    EXPECT_EQ(hero->getAltitude(), 2);
    EXPECT_EQ(hero->getType(), "Bird");
    EXPECT_EQ(hero->getColor(), -1);
    EXPECT_EQ(world().getViewFollowing(), hero);
    world().update();
    EXPECT_EQ(world().getView(), Box(-40, 40, -12, 12));
}

TEST_F(HeroTest, FliesTowardsThePointerSeenFromTheScreenCentre) {
    mouse(Vector(50, 12), MOVED, UNDEFINED_MOUSE_BUTTON); // 10 cells right of the centre
    EXPECT_EQ(hero->getDirection(), Vector(1, 0));
    EXPECT_EQ(hero->getVelocity(), Vector(0.5f, 0));
    mouse(Vector(43, 16), PRESSED, 1); // the right button only sets the course
    EXPECT_FLOAT_EQ(hero->getDirection().x, 0.6f);
    EXPECT_FLOAT_EQ(hero->getDirection().y, 0.8f);
    EXPECT_FALSE(hero->isCalling());
    mouse(Vector(40, 12), MOVED, UNDEFINED_MOUSE_BUTTON); // on the hero: no course, it stays
    EXPECT_EQ(hero->getVelocity(), Vector::ZERO);
}

TEST_F(HeroTest, HoldingTheLeftButtonCallsWithALoopingSound) {
    mouse(Vector(50, 12), PRESSED, 0);
    EXPECT_TRUE(hero->isCalling());
    EXPECT_TRUE(scream().isLooping());
    EXPECT_EQ(scream().getStatus(), sf::SoundSource::Status::Playing);
    scream().setLooping(false); // a second press must not touch the sound again
    mouse(Vector(50, 12), PRESSED, 0);
    EXPECT_FALSE(scream().isLooping());
    mouse(Vector(50, 12), RELEASED, 0);
    EXPECT_FALSE(hero->isCalling());
    EXPECT_EQ(scream().getStatus(), sf::SoundSource::Status::Stopped);

    scream().play(); // a release while silent does not stop anything
    mouse(Vector(50, 12), RELEASED, 0);
    EXPECT_EQ(scream().getStatus(), sf::SoundSource::Status::Playing);
    scream().stop();

    // Destroyed while calling (the game cleared with the button held): the call stops.
    mouse(Vector(50, 12), PRESSED, 0);
    world().markForDelete(hero);
    world().deleteMarked();
    EXPECT_EQ(scream().getStatus(), sf::SoundSource::Status::Stopped);
    EXPECT_EQ(world().getViewFollowing(), nullptr);
}

TEST_F(HeroTest, AfterGameOverTheNextMouseEventStopsItForGood) {
    mouse(Vector(50, 12), MOVED, UNDEFINED_MOUSE_BUTTON);
    Event over;
    over.setType("GameOver");
    EXPECT_EQ(hero->eventHandler(&over), 1);
    EXPECT_FALSE(hero->isActive());
    world().update();
    EXPECT_EQ(hero->getPosition(), Vector(0.5f, 0)); // still flying
    mouse(Vector(60, 12), MOVED, UNDEFINED_MOUSE_BUTTON);
    EXPECT_EQ(hero->getVelocity(), Vector::ZERO);
    mouse(Vector(60, 12), PRESSED, 0); // calling still toggles
    EXPECT_TRUE(hero->isCalling());
    EXPECT_EQ(hero->getVelocity(), Vector::ZERO);
    mouse(Vector(60, 12), RELEASED, 0);
}

TEST_F(HeroTest, SlidesAlongWallsAndStopsInCorners) {
    const auto placeAt = [&](Vector p) {
        hero->setPosition(p);
        hero->setVelocity(Vector::ZERO);
        world().update(); // the view centres on it
    };
    placeAt(Vector(99.8f, 0));
    mouse(Vector(50, 22), MOVED, UNDEFINED_MOUSE_BUTTON); // towards the lower right
    step();
    EXPECT_EQ(hero->getPosition().x, 100.0f);
    EXPECT_EQ(hero->getVelocity().x, 0.0f);
    EXPECT_GT(hero->getVelocity().y, 0.0f); // slides down the wall
    placeAt(Vector(100, 49.9f));
    mouse(Vector(50, 22), MOVED, UNDEFINED_MOUSE_BUTTON);
    step();
    EXPECT_EQ(hero->getPosition(), Vector(100, 50));
    EXPECT_EQ(hero->getVelocity(), Vector::ZERO);
    world().update();
    world().update();
    EXPECT_EQ(hero->getPosition(), Vector(100, 50)); // stays in the corner until a new course
}

/// The real game loop's input on a window, with xdotool moving the real pointer.
class RealMouse : public test::LiveWorldTest {
protected:
    void SetUp() override {
        LiveWorldTest::SetUp();
        world().setBoundary(Box(-100, 100, -50, 50));
        world().setView(Box(-40, 40, -12, 12));
        Bird::discardQuadTree();
        hero = new Hero;
        settle();
    }
    /// Runs frames (input, step, update, deletion, draw, swap) for a while.
    static void frames(int count) {
        for (int i = 0; i < count; ++i) {
            GameManager::getInstance().runFrame();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    static void settle() { frames(20); }
    static void xdotool(const std::string& args) { ASSERT_EQ(std::system(("xdotool " + args).c_str()), 0); }
    sf::Color centreCellColor() const {
        // The hero is drawn at the screen centre: cell (40, 12), pixels from (512, 384).
        hero->draw();
        const sf::Image image = display().capture();
        display().swapBuffers();
        for (unsigned y = 384; y < 416; ++y) {
            for (unsigned x = 512; x < 524; ++x) {
                const sf::Color c = image.getPixel({x, y});
                if (c == Hero::HERO_COLOR || c == Hero::HERO_CALLING_COLOR) return c;
            }
        }
        return sf::Color::Transparent;
    }
    Hero* hero = nullptr;
};

TEST_F(RealMouse, TheCourseIsThePointerSeenFromTheCentreWhileTheViewFollows) {
    xdotool("mousemove 640 384"); // cell (50, 12): 10 cells right of the centre
    frames(3);
    EXPECT_EQ(hero->getDirection(), Vector(1, 0));
    const float x0 = hero->getPosition().x;
    frames(10);
    EXPECT_FLOAT_EQ(hero->getPosition().x, x0 + 5.0f); // 0.5 a frame, straight on
    const Box view = world().getView();
    EXPECT_FLOAT_EQ((view.left + view.right) / 2, hero->getPosition().x); // the view follows
    EXPECT_EQ(hero->getCursor(), Vector(50, 12));

    xdotool("mousemove 512 64"); // cell (40, 2): straight up from the centre, wherever the view is
    frames(3);
    EXPECT_FLOAT_EQ(hero->getDirection().x, 0.0f);
    EXPECT_FLOAT_EQ(hero->getDirection().y, -1.0f);

    EXPECT_EQ(centreCellColor(), Hero::HERO_COLOR);
    xdotool("mousedown 1");
    frames(3);
    EXPECT_TRUE(hero->isCalling());
    EXPECT_EQ(centreCellColor(), Hero::HERO_CALLING_COLOR);
    xdotool("mouseup 1");
    frames(3);
    EXPECT_FALSE(hero->isCalling());
}

} // namespace

namespace {

TEST_F(RealMouse, ScreenshotOfARunningFlock) {
    ResourceManager& resources = ResourceManager::getInstance();
    resources.shutDown();
    ASSERT_EQ(resources.startUp(), 0);
    ASSERT_EQ(resources.loadSprite((test::sourceDir() / "sprites/background.txt").string(), "background"), 0);
    display().setBackgroundColor(sf::Color(0, 25, 0));
    world().markForDelete(hero);
    world().deleteMarked();
    std::srand(11);
    new Background;
    hero = new Hero;
    for (int i = 0; i < 1000; ++i) new Bird(i % 4);
    xdotool("mousemove 700 250");
    frames(150); // the flocks gather
    xdotool("mousedown 1");
    frames(3);
    GameManager::getInstance().drawObjects();
    const sf::Image image = display().capture();
    ASSERT_TRUE(image.saveToFile(test::screenshotDir() / "flock.png"));
    display().swapBuffers();
    xdotool("mouseup 1");
    frames(1);
    // Several flock colours on the screen, the hero and its cursor in the calling colour.
    int colours = 0;
    for (const sf::Color& c : BIRD_COLORS) {
        int count = 0;
        for (unsigned y = 0; y < 768; ++y)
            for (unsigned x = 0; x < 1024; ++x) count += image.getPixel({x, y}) == c;
        colours += count > 0;
    }
    EXPECT_GE(colours, 2);
    resources.shutDown();
}

} // namespace
