// The flock: the neighbour index, the steering rules with worked numbers, the speed
// band, the wall rule, the index's lifetime, the flight against the old step, and the background.
#include <cmath>
#include <random>

#include <mx/EventMouse.h>
#include <mx/ResourceManager.h>

#include "Background.h"
#include "EventGameOver.h"
#include "FlockStep.h"
#include "Hero.h"
#include "QuadTree.h"
#include "TestSupport.h"

using namespace mx;

namespace {

void expectNear(Vector actual, Vector expected) {
    EXPECT_NEAR(actual.x, expected.x, 1e-5f);
    EXPECT_NEAR(actual.y, expected.y, 1e-5f);
}

std::vector<Object*> items(const ObjectList& list) { return {list.begin(), list.end()}; }

bool lists(const std::vector<Neighbour>& neighbours, const Object* o) {
    return std::any_of(neighbours.begin(), neighbours.end(), [o](const Neighbour& n) { return n.object == o; });
}

using Flock = test::WorldTest;

Object* at(float x, float y) {
    auto* o = new Object;
    o->setPosition(Vector(x, y));
    return o;
}

TEST_F(Flock, TheIndexListsWhatTheTreeOfListsListed) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> x(-100, 100), y(-50, 50), size(0, 30);
    ObjectList objects;
    for (int i = 0; i < 600; ++i) { // half cells put many on dividing lines
        objects.insert(at(std::round(x(random) * 2) / 2, std::round(y(random) * 2) / 2));
    }
    for (int i = 0; i < 7; ++i) objects.insert(at(3, 3)); // a pile: divides down to the depth limit
    objects.insert(at(101, 0));                           // outside: never listed
    QuadTree tree;
    tree.build(world().getBoundary(), objects);
    reference::QuadTree old(world().getBoundary(), QUADTREE_CAPACITY, 0, objects);
    for (std::uint32_t i = 1; i < 60; i += 3) { // moved after the build, as birds put on a wall are
        old.noteMoved(objects[i]->getPosition());
        objects[i]->setPosition(Vector(x(random), y(random)));
        tree.noteMoved(i);
    }
    std::vector<QuadTree::Found> found;
    for (int i = 0; i < 3000; ++i) {
        const float left = x(random), top = y(random);
        const Box box = i == 0 ? Box(-999, 999, -999, 999) : i == 1 ? Box(3, 3, 3, 3) : Box(left, left + size(random), top, top + size(random));
        tree.query(box, found);
        std::vector<Object*> listed;
        for (const QuadTree::Found& f : found) listed.push_back(tree.getObject(f.number));
        ASSERT_EQ(listed, items(old.queryPruned(box))) << i;
        if (i < 2) {
            EXPECT_EQ(listed.size(), i == 0 ? 607u : 7u); // all but the one outside; the pile
        }
    }
}

TEST_F(Flock, SpawningDrawsYThenXThenTheVelocity) {
    Random drawn(99);
    const auto ry = drawn.next(), rx = drawn.next(), rvy = drawn.next(), rvx = drawn.next();
    GameManager::getInstance().getRandom().setSeed(99);
    Bird* b = new Bird(2);
    EXPECT_EQ(b->getPosition(), Vector(static_cast<float>(rx % 190) - 95, static_cast<float>(ry % 90) - 45));
    EXPECT_EQ(b->getVelocity(), Vector(static_cast<float>(static_cast<int>(rvx % 5) - 2) / 10, static_cast<float>(static_cast<int>(rvy % 5) - 2) / 10));
}

TEST_F(Flock, TheRulesWorkedNumbers) {
    // Alone: the velocity kept, within the speed band.
    Bird* slow = bird(0, Vector(-80, -40), Vector(0.18f, 0.24f));
    Bird* fast = bird(1, Vector(-40, 30), Vector(0.36f, 0.48f));
    Bird* still = bird(3, Vector(60, -30));
    step();
    expectNear(slow->getVelocity(), Vector(0.24f, 0.32f)); // 0.3 becomes 0.4
    expectNear(fast->getVelocity(), Vector(0.3f, 0.4f));   // 0.6 becomes 0.5
    EXPECT_EQ(still->getVelocity(), Vector::ZERO);

    Bird* left = bird(0, Vector(10, 10));
    bird(0, Vector(11, 10));
    Bird* edge = bird(1, Vector(-30, 0));
    bird(1, Vector(-28, 0), Vector(0.2f, 0.1f)); // on the separation radius
    Bird* far = bird(1, Vector(-36, 0));          // on the neighbour radius: not a neighbour
    bird(2, Vector(-30, 2.5f), Vector(0.4f, 0));  // another colour
    Bird* twin = bird(3, Vector(50, 20));
    bird(3, Vector(50, 20));
    Bird::buildQuadTree(0);
    expectNear(left->separateFromFlock(left->getNeighbours()), Vector(-2.5f, 0)); // (1 - 1/2) x 5
    const std::vector<Neighbour> n = edge->getNeighbours();
    EXPECT_FALSE(lists(n, far));
    EXPECT_EQ(edge->separateFromFlock(n), Vector::ZERO);
    expectNear(edge->separateFromOthers(n), Vector(0, -(1 - 2.5f / 3) * 5));
    expectNear(edge->alignWithFlock(n), Vector(0.24f, 0.12f)); // never other colours
    expectNear(edge->cohereWithFlock(n), Vector(0.2f, 0));
    const std::uint32_t coin = Random(5).next();
    GameManager::getInstance().getRandom().setSeed(5);
    EXPECT_EQ(twin->separateFromFlock(twin->getNeighbours()), coin % 2 ? Vector(5, 0) : Vector(0, 5));
}

TEST_F(Flock, TheHeroIsSeenButOnlyItsOwnRuleCountsIt) {
    auto* hero = new Hero;
    hero->setPosition(Vector(21, 20));
    hero->setVelocity(Vector(0.5f, 0));
    Bird* b = bird(0, Vector(20, 20));
    Bird::buildQuadTree(0);
    const std::vector<Neighbour> n = b->getNeighbours();
    ASSERT_TRUE(lists(n, hero));
    EXPECT_EQ(b->separateFromOthers(n) + b->alignWithFlock(n) + b->cohereWithFlock(n), Vector::ZERO);
    expectNear(b->reactToHero(n), Vector(0.6f + 0.1f - 5.0f, 0)); // align, approach, give way
    const EventMouse press(Vector(40, 12), PRESSED, 0);
    hero->eventHandler(&press);
    expectNear(b->reactToHero(n), Vector(-0.3f - 10.0f, 0)); // flee, give way twice
    EXPECT_EQ(b->getState(), FOLLOWING);
}

TEST_F(Flock, TheHeroSteersFromTheScreenCentreCallsAndStopsAfterGameOver) {
    ResourceManager& resources = ResourceManager::getInstance();
    ASSERT_EQ(resources.startUp(), 0);
    ASSERT_EQ(resources.loadSound((test::sourceDir() / "tests/data/beep.mp3").string(), "Scream"), 0);
    sf::Sound& scream = *resources.getSound("Scream")->getSound();
    auto* hero = new Hero;
    const auto mouse = [&](Vector at, MouseAction action, int button = UNDEFINED_MOUSE_BUTTON) {
        const EventMouse event(at, action, button);
        hero->eventHandler(&event);
    };
    mouse(Vector(43, 16), PRESSED, 1); // 3 right of and 4 below the centre; the right button only steers
    expectNear(hero->getVelocity(), Vector(0.3f, 0.4f));
    EXPECT_FALSE(hero->isCalling());
    mouse(Vector(40, 12), MOVED); // on the hero: no course, it stays
    EXPECT_EQ(hero->getVelocity(), Vector::ZERO);
    mouse(Vector(50, 12), PRESSED, 0);
    EXPECT_TRUE(scream.isLooping());
    EXPECT_EQ(scream.getStatus(), sf::SoundSource::Status::Playing);
    mouse(Vector(50, 12), RELEASED, 0);
    EXPECT_EQ(scream.getStatus(), sf::SoundSource::Status::Stopped);
    scream.play();
    mouse(Vector(50, 12), RELEASED, 0); // a release while silent stops nothing
    EXPECT_EQ(scream.getStatus(), sf::SoundSource::Status::Playing);
    scream.stop();

    const EventGameOver over;
    hero->eventHandler(&over);
    world().update();
    EXPECT_EQ(hero->getPosition(), Vector(0.5f, 0)); // flies on until the next mouse event
    mouse(Vector(50, 12), PRESSED, 0); // which stops it; calling still toggles
    EXPECT_EQ(hero->getVelocity(), Vector::ZERO);
    EXPECT_TRUE(hero->isCalling());
    world().markForDelete(hero); // the game cleared with the button held: the call stops
    world().deleteMarked();
    EXPECT_EQ(scream.getStatus(), sf::SoundSource::Status::Stopped);
    EXPECT_EQ(world().getViewFollowing(), nullptr);
    resources.shutDown();
}

TEST_F(Flock, TheWallRuleSlidesStopsInCornersAndClearsNaN) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct { Vector at, v, wantAt, wantV; } cases[] = {
        {{99.8f, 10}, {0.4f, 0.1f}, {100, 10}, {0, 0.1f}},  // slides along the wall
        {{99.8f, 49.9f}, {0.3f, 0.3f}, {100, 50}, {0, 0}}, // stops in the corner
        {{5, 5}, {nan, nan}, {5, 5}, {0, 0}},
    };
    for (const auto& c : cases) {
        Bird* b = bird(0, c.at, c.v);
        b->keepInsideBoundary();
        EXPECT_EQ(b->getPosition(), c.wantAt);
        EXPECT_EQ(b->getVelocity(), c.wantV);
    }
}

TEST_F(Flock, TheIndexBelongsToOneFrame) {
    // Outside the view, so that no bird is drawn to let go of the index.
    Bird* a = bird(0, Vector(-50, 30));
    Bird* b = bird(0, Vector(50, 30));
    for (int i = 0; i < 8; ++i) bird(1, Vector(-90.0f + static_cast<float>(i), -40)); // the index divides
    step();
    b->setPosition(Vector(-49, 30)); // moves next to a by the next frame
    testing::internal::CaptureStdout();
    struct Stopper : Object {
        int eventHandler(const Event*) override { GameManager::getInstance().setGameOver(true); return 0; }
    };
    new Stopper;
    GameManager::getInstance().run(); // one frame: the step count moves on
    testing::internal::GetCapturedStdout();
    step();
    EXPECT_TRUE(lists(a->getNeighbours(), b));
    world().markForDelete(b); // a destroyed bird is never handed out
    world().deleteMarked();
    EXPECT_EQ(Bird::getQuadTree(), nullptr);
}

/// The hero and a flock flown from a fixed seed, the hero swinging round and calling,
/// stepped by the birds or by the old step.
std::vector<std::vector<float>> fly(bool oldStep, int birds, int frames) {
    WorldManager& world = WorldManager::getInstance();
    world.setView(Box(-40, 40, -12, 12));
    GameManager::getInstance().getRandom().setSeed(2024);
    auto* hero = new Hero;
    for (int i = 0; i < birds; ++i) new Bird(i % 4);
    std::vector<std::vector<float>> states;
    for (int frame = 0; frame < frames; ++frame) {
        if (frame % 25 == 0) {
            const float angle = static_cast<float>(frame) * 0.05f;
            const EventMouse move(Vector(40 + 30 * std::cos(angle), 12 + 10 * std::sin(angle)), MOVED, -1);
            hero->eventHandler(&move);
        }
        if (frame % 20 == 10) {
            const EventMouse button(hero->getCursor(), frame % 40 == 10 ? PRESSED : RELEASED, 0);
            hero->eventHandler(&button);
        }
        if (oldStep) {
            reference::stepEvent();
        } else {
            const EventStep step;
            world.onEvent(&step);
        }
        world.update();
        Bird::discardQuadTree(); // as the first bird drawn does
        std::vector<float>& s = states.emplace_back();
        for (Object* o : Bird::birdlist) {
            s.insert(s.end(), {o->getPosition().x, o->getPosition().y, o->getVelocity().x, o->getVelocity().y,
                               static_cast<float>(static_cast<Bird*>(o)->getState())});
        }
    }
    world.shutDown();
    (void)world.startUp();
    return states;
}

TEST_F(Flock, FliesBitForBitAsTheOldStepAt4000Birds) {
    const auto old = fly(true, 4000, 120);
    const auto lean = fly(false, 4000, 120);
    for (std::size_t frame = 0; frame < old.size(); ++frame) {
        ASSERT_TRUE(old[frame] == lean[frame]) << "the flocks part at frame " << frame;
    }
    int followers = 0, onWalls = 0; // the run reached what matters
    for (std::size_t i = 0; i < old.back().size(); i += 5) {
        followers += old.back()[i + 4] == static_cast<float>(FOLLOWING);
        onWalls += std::abs(old.back()[i]) == 100.0f || std::abs(old.back()[i + 1]) == 50.0f;
    }
    EXPECT_GT(followers, 0);
    EXPECT_GT(onWalls, 0);
}

TEST_F(Flock, BackgroundTilesCoverTheWorldColumnByColumnAndGoWithIt) {
    test::ScratchDir dir;
    ResourceManager& resources = ResourceManager::getInstance();
    ASSERT_EQ(resources.startUp(), 0);
    for (const auto& [w, h, count, last] : {std::tuple{10, 5, 400u, Vector(95, 47.5f)},
                                           std::tuple{30, 7, 105u, Vector(95, 51.5f)}}) {
        std::ofstream("bg.txt") << "1 " << w << ' ' << h << " 0 white\n";
        ASSERT_EQ(resources.loadSprite("bg.txt", "background"), 0);
        auto* background = new Background;
        EXPECT_EQ(resources.getSprite("background")->getColor(), BACKGROUND_TINT);
        const ObjectList& tiles = background->getTiles();
        ASSERT_EQ(tiles.size(), count);
        EXPECT_EQ(tiles[0]->getPosition(), Vector(-100 + w / 2.0f, -50 + h / 2.0f));
        EXPECT_EQ(tiles[1]->getPosition().x, tiles[0]->getPosition().x); // down the first column first
        EXPECT_EQ(tiles[count - 1]->getPosition(), last);
        EXPECT_EQ(tiles[0]->getSolidness(), INTANGIBLE);
        world().markForDelete(background);
        world().deleteMarked();
        EXPECT_TRUE(world().getAllObjects().isEmpty()); // its tiles go in the same walk
        resources.shutDown(); // the next round loads its own
        ASSERT_EQ(resources.startUp(), 0);
    }
    resources.shutDown();
}

} // namespace
