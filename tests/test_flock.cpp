// The flock: the neighbour index, the five steering rules with worked numbers, speed
// limits, the wall rule, states, spawning, the index's lifetime, and the background.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "Background.h"
#include "EventCollision.h"
#include "EventMouse.h"
#include "EventOut.h"
#include "GameManager.h"
#include "FlockTestSupport.h"
#include "Hero.h"
#include "QuadTree.h"
#include "ResourceManager.h"
#include "Sprite.h"

using namespace mx;
using test::FlockTest;

namespace {

void expectNear(Vector actual, Vector expected, float tolerance = 1e-5f) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
}

std::vector<Object*> asVector(const ObjectList& list) {
    return {list.begin(), list.end()};
}

// ---------------------------------------------------------------- neighbour index

using Index = test::WorldTest;

Object* at(float x, float y) {
    auto* o = new Object;
    o->setPosition(Vector(x, y));
    return o;
}

TEST_F(Index, DividesOnTheFifthObjectAndKeepsListsInDividedNodes) {
    QuadTree root(Box(0, 100, 0, 100), QUADTREE_CAPACITY, 0);
    Object* outside = at(101, 50);
    root.insert(outside);
    Object* a = at(10, 10);
    Object* b = at(80, 10);
    Object* c = at(10, 80);
    Object* d = at(80, 80);
    for (Object* o : {a, b, c, d}) root.insert(o);
    EXPECT_FALSE(root.isDivided());
    EXPECT_EQ(asVector(root.getObjects()), (std::vector<Object*>{a, b, c, d}));

    Object* e = at(20, 20);
    root.insert(e);
    ASSERT_TRUE(root.isDivided());
    EXPECT_EQ(asVector(root.getObjects()), (std::vector<Object*>{a, b, c, d, e}));
    EXPECT_EQ(asVector(root.getChild(0)->getObjects()), (std::vector<Object*>{a, e})); // top-left
    EXPECT_EQ(asVector(root.getChild(1)->getObjects()), (std::vector<Object*>{c}));    // bottom-left
    EXPECT_EQ(asVector(root.getChild(2)->getObjects()), (std::vector<Object*>{b}));    // top-right
    EXPECT_EQ(asVector(root.getChild(3)->getObjects()), (std::vector<Object*>{d}));    // bottom-right
    EXPECT_EQ(root.getChild(3)->getDepth(), 1);

    EXPECT_FALSE(root.query(Box(-1000, 1000, -1000, 1000)).contains(outside));
    // The whole world: every object once, depth first over the children.
    EXPECT_EQ(asVector(root.query(Box(0, 100, 0, 100))), (std::vector<Object*>{a, e, c, b, d}));
    EXPECT_TRUE(root.query(Box(40, 45, 40, 45)).isEmpty());
}

TEST_F(Index, ObjectsAtOnePointDivideToTheDepthLimitAndLinesShareObjects) {
    QuadTree root(Box(0, 64, 0, 64), QUADTREE_CAPACITY, 0);
    std::vector<Object*> pile;
    for (int i = 0; i < 6; ++i) {
        pile.push_back(at(3, 3));
        root.insert(pile.back());
    }
    const QuadTree* node = &root;
    while (node->isDivided()) {
        int i = 0;
        while (!node->getChild(i)->getObjects().contains(pile[0])) ++i;
        node = node->getChild(i);
    }
    EXPECT_EQ(node->getDepth(), QUADTREE_DEPTH_LIMIT);
    EXPECT_EQ(node->getObjects().size(), 6u);

    QuadTree lines(Box(0, 64, 0, 64), QUADTREE_CAPACITY, 0);
    Object* centre = at(32, 32);
    Object* onMidX = at(32, 10);
    for (Object* o : {at(1, 1), at(60, 1), at(1, 60), centre, onMidX}) lines.insert(o);
    int holdingCentre = 0;
    int holdingMidX = 0;
    for (int i = 0; i < 4; ++i) {
        holdingCentre += lines.getChild(i)->getObjects().contains(centre);
        holdingMidX += lines.getChild(i)->getObjects().contains(onMidX);
    }
    EXPECT_EQ(holdingCentre, 4);
    EXPECT_EQ(holdingMidX, 2);
    const ObjectList found = lines.query(Box(30, 34, 5, 34));
    EXPECT_EQ(asVector(found), (std::vector<Object*>{centre, onMidX}));
}

TEST_F(Index, PrunedQueriesGiveTheLiteralListsEvenAfterObjectsMoved) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> x(-100, 100), y(-50, 50), size(0, 30);
    std::vector<Object*> objects;
    QuadTree root(Box(-100, 100, -50, 50), QUADTREE_CAPACITY, 0);
    for (int i = 0; i < 600; ++i) {
        // Whole and half cells make many objects sit on dividing lines.
        Object* o = at(std::round(x(random) * 2) / 2, std::round(y(random) * 2) / 2);
        objects.push_back(o);
        root.insert(o);
    }
    for (int i = 0; i < 60; ++i) { // some move onto the walls after insertion
        Object* o = objects[static_cast<std::size_t>(i) * 10];
        root.noteMoved(o->getPosition());
        o->setPosition(Vector(i % 2 ? 100.0f : o->getPosition().x, i % 2 ? o->getPosition().y : -50.0f));
    }
    // Without being told, a pruned query cannot find an object that left its quadrant.
    Object* wanderer = objects[1];
    const Vector from = wanderer->getPosition();
    wanderer->setPosition(Vector(from.x > 0 ? -99 : 99, from.y > 0 ? -49 : 49));
    const Box there(wanderer->getPosition().x - 1, wanderer->getPosition().x + 1, wanderer->getPosition().y - 1,
                    wanderer->getPosition().y + 1);
    EXPECT_TRUE(root.query(there).contains(wanderer));
    EXPECT_FALSE(root.queryPruned(there).contains(wanderer));
    root.noteMoved(from);
    EXPECT_TRUE(root.queryPruned(there).contains(wanderer));

    for (int i = 0; i < 2000; ++i) {
        const float left = x(random), top = y(random);
        const Box box(left, left + size(random), top, top + size(random));
        ASSERT_EQ(asVector(root.queryPruned(box)), asVector(root.query(box))) << i;
    }
}

// ---------------------------------------------------------------- birds

TEST_F(FlockTest, SpawnDrawsYThenXThenVelocitiesFromRand) {
    std::srand(99);
    const int ry = std::rand(), rx = std::rand(), rvy = std::rand(), rvx = std::rand();
    std::srand(99);
    Bird* b = new Bird(2);
    EXPECT_EQ(b->getPosition(), Vector(static_cast<float>(rx % 190) - 95, static_cast<float>(ry % 90) - 45));
    EXPECT_EQ(b->getVelocity(), Vector(static_cast<float>(rvx % 5 - 2) / 10, static_cast<float>(rvy % 5 - 2) / 10));
    EXPECT_EQ(b->getType(), "Bird");
    EXPECT_EQ(b->getSolidness(), PERMEABLE);
    EXPECT_EQ(b->getAltitude(), 1);
    EXPECT_EQ(b->getState(), FLOCKING);
    EXPECT_TRUE(Bird::birdlist.contains(b));
    for (int i = 0; i < 500; ++i) { // always whole cells, 5 inside the walls
        const Vector p = (new Bird(i % 4))->getPosition();
        ASSERT_TRUE(p.x >= -95 && p.x <= 94 && p.y >= -45 && p.y <= 44 && p.x == std::floor(p.x));
    }
}

TEST_F(FlockTest, ALoneBirdKeepsItsCourseWithinTheSpeedBand) {
    const Vector slow(0.18f, 0.24f), fast(0.36f, 0.48f), fine(0.27f, 0.36f);
    Bird* a = bird(0, Vector(-80, -40), slow);  // length 0.3
    Bird* b = bird(1, Vector(-40, 0), fast);    // length 0.6
    Bird* c = bird(2, Vector(0, 30), fine);     // length 0.45
    Bird* d = bird(3, Vector(60, -20));          // still
    step();
    expectNear(a->getVelocity(), Vector(0.24f, 0.32f));
    expectNear(b->getVelocity(), Vector(0.3f, 0.4f));
    expectNear(c->getVelocity(), fine);
    EXPECT_EQ(d->getVelocity(), Vector::ZERO);
    Vector zero = Vector::ZERO;
    Bird::limitSpeed(zero);
    EXPECT_EQ(zero, Vector::ZERO);
}

TEST_F(FlockTest, SeparationAvoidanceAlignmentAndCohesionWorkedNumbers) {
    Bird* left = bird(0, Vector(10, 10));
    Bird* right = bird(0, Vector(11, 10));
    Bird::buildQuadTree(0);
    const ObjectList n = left->getNeighbours();
    ASSERT_EQ(asVector(n), std::vector<Object*>{right});
    expectNear(left->separateFromFlock(n), Vector(-2.5f, 0)); // (1 - 1/2) x 5, away along the line
    expectNear(right->separateFromFlock(right->getNeighbours()), Vector(2.5f, 0));

    // Exactly on the separation radius: counted, with a push of 0. Exactly 6 away: no neighbour.
    Bird* edge = bird(1, Vector(-30, 0));
    Bird* mate = bird(1, Vector(-28, 0), Vector(0.2f, 0.1f));
    Bird* far = bird(1, Vector(-36, 0));
    Bird* stranger = bird(2, Vector(-30, 2.5f), Vector(0.4f, 0));
    Bird::buildQuadTree(0);
    const ObjectList en = edge->getNeighbours();
    EXPECT_FALSE(en.contains(far));
    EXPECT_TRUE(en.contains(mate));
    EXPECT_EQ(edge->separateFromFlock(en), Vector(0, 0));
    // Other colours push apart within 3 cells and never align or cohere.
    expectNear(edge->separateFromOthers(en), Vector(0, -(1 - 2.5f / 3) * 5));
    expectNear(edge->alignWithFlock(en), Vector(0.2f, 0.1f) * 1.2f);
    expectNear(edge->cohereWithFlock(en), Vector(2, 0) * 0.1f);
    EXPECT_EQ(stranger->alignWithFlock(stranger->getNeighbours()), Vector::ZERO);

    // Two birds on one spot: one rand call picks +x (odd) or +y (even), length 1 before the weight.
    Bird* twin1 = bird(3, Vector(50, 20));
    bird(3, Vector(50, 20));
    Bird::buildQuadTree(0);
    std::srand(5);
    const int coin = std::rand();
    std::srand(5);
    EXPECT_EQ(twin1->separateFromFlock(twin1->getNeighbours()), coin % 2 ? Vector(5, 0) : Vector(0, 5));
}

TEST_F(FlockTest, HeroRuleApproachesWhileSilentAndFleesWhileCalling) {
    auto* hero = new Hero;
    hero->setPosition(Vector(21, 20));
    hero->setVelocity(Vector(0.5f, 0));
    Bird* b = bird(0, Vector(20, 20));
    Bird::buildQuadTree(0);
    const ObjectList n = b->getNeighbours();
    ASSERT_TRUE(n.contains(hero));
    // The hero is seen but never counted by the flock rules.
    EXPECT_EQ(b->separateFromFlock(n), Vector::ZERO);
    EXPECT_EQ(b->separateFromOthers(n), Vector::ZERO);
    EXPECT_EQ(b->alignWithFlock(n), Vector::ZERO);
    EXPECT_EQ(b->cohereWithFlock(n), Vector::ZERO);
    // d = (1, 0): align 1.2 x (0.5, 0), approach 0.1 d, give way -5 d.
    expectNear(b->reactToHero(n), Vector(0.6f + 0.1f - 5.0f, 0));
    EXPECT_EQ(b->getState(), FLOCKING);

    const EventMouse press(Vector(40, 12), PRESSED, 0);
    hero->eventHandler(&press);
    ASSERT_TRUE(hero->isCalling());
    expectNear(b->reactToHero(n), Vector(-0.3f - 10.0f, 0)); // flee and give way twice
    EXPECT_EQ(b->getState(), FOLLOWING);
}

TEST_F(FlockTest, FollowersAnswerOnlyToTheHeroAndStopWhenTheGameIsOver) {
    Bird* follower = bird(0, Vector(0, 30), Vector(0.3f, 0.4f));
    bird(0, Vector(1, 30)); // a flock mate it now ignores
    follower->setState(FOLLOWING);
    step();
    expectNear(follower->getVelocity(), Vector(0.3f, 0.4f));

    Event over;
    over.setType("GameOver");
    EXPECT_EQ(follower->eventHandler(&over), 1);
    EXPECT_EQ(follower->getState(), STOPPED);
    step();
    EXPECT_EQ(follower->getVelocity(), Vector::ZERO);
    step();
    EXPECT_EQ(follower->getState(), STOPPED);
    const EventOut out;
    EXPECT_EQ(follower->eventHandler(&out), 1);
}

TEST_F(FlockTest, TheWallRuleSlidesAlongWallsStopsInCornersAndClearsNaN) {
    Bird* b = bird(0, Vector(99.8f, 10), Vector(0.4f, 0.1f));
    b->keepInsideBoundary();
    EXPECT_EQ(b->getPosition(), Vector(100, 10));
    EXPECT_EQ(b->getVelocity(), Vector(0, 0.1f));

    b->setPosition(Vector(99.8f, 49.9f));
    b->setVelocity(Vector(0.3f, 0.3f));
    b->keepInsideBoundary();
    EXPECT_EQ(b->getPosition(), Vector(100, 50));
    EXPECT_EQ(b->getVelocity(), Vector::ZERO);

    b->setPosition(Vector(-99.9f, 0));
    b->setVelocity(Vector(-0.3f, -0.4f)); // only x crosses
    b->keepInsideBoundary();
    EXPECT_EQ(b->getPosition(), Vector(-100, 0));
    EXPECT_EQ(b->getVelocity(), Vector(0, -0.4f));

    const float nan = std::numeric_limits<float>::quiet_NaN();
    b->setPosition(Vector(5, 5));
    b->setVelocity(Vector(nan, nan));
    b->keepInsideBoundary();
    EXPECT_EQ(b->getPosition(), Vector(5, 5));
    EXPECT_EQ(b->getVelocity(), Vector::ZERO);

    // Many steps of a whole flock: nobody ever leaves the world.
    std::srand(3);
    for (int i = 0; i < 200; ++i) new Bird(i % 4);
    for (int frame = 0; frame < 200; ++frame) {
        step();
        world().update();
        Bird::discardQuadTree();
    }
    for (Object* o : Bird::birdlist) {
        const Vector p = o->getPosition();
        ASSERT_TRUE(p.x >= -100 && p.x <= 100 && p.y >= -50 && p.y <= 50);
        const float speed = o->getVelocity().getMagnitude();
        ASSERT_TRUE(speed == 0.0f || (speed >= 0.0f && speed <= 0.5f + 1e-6f)) << speed;
    }
}

TEST_F(FlockTest, TheIndexBelongsToOneFrame) {
    // Both outside the view, so no bird is drawn and nothing discards the index.
    Bird* a = bird(0, Vector(-50, 30));
    Bird* b = bird(0, Vector(50, 30));
    for (int i = 0; i < 8; ++i) bird(1, Vector(-90.0f + static_cast<float>(i), -40)); // the index divides
    step(); // built for this frame's step count
    EXPECT_NE(Bird::getQuadTree(), nullptr);
    EXPECT_FALSE(a->getNeighbours().contains(b));

    // b moves next to a; a later frame must not use the old index.
    b->setPosition(Vector(-49, 30));
    b->setVelocity(Vector::ZERO);
    a->setVelocity(Vector::ZERO);
    test::ScratchDir dir;
    struct Counter : Object {
        int eventHandler(const Event* e) override {
            if (e->getType() == EventStep::TYPE) GameManager::getInstance().setGameOver(true);
            return 0;
        }
    };
    new Counter;
    testing::internal::CaptureStdout();
    GameManager::getInstance().run(); // one frame with step count 0... then step count moves on
    testing::internal::GetCapturedStdout();
    const EventStep later; // step count 1 now
    ASSERT_EQ(later.stepCount, 1);
    world().onEvent(&later);
    EXPECT_TRUE(a->getNeighbours().contains(b));

    // Destroying a bird discards the index, so it is never handed out.
    world().markForDelete(b);
    world().deleteMarked();
    EXPECT_EQ(Bird::getQuadTree(), nullptr);
    EXPECT_TRUE(a->getNeighbours().isEmpty());
    step();
    EXPECT_NE(Bird::getQuadTree(), nullptr);
    world().markForDelete(a);
    world().deleteMarked();
    EXPECT_EQ(Bird::getQuadTree(), nullptr); // the last bird too
}

// ---------------------------------------------------------------- background

class Tiles : public FlockTest {
protected:
    void SetUp() override {
        FlockTest::SetUp();
        resources().shutDown();
        ASSERT_EQ(resources().startUp(), 0);
    }
    void TearDown() override {
        FlockTest::TearDown();
        resources().shutDown();
    }
    static ResourceManager& resources() { return ResourceManager::getInstance(); }
    void loadBackground(int w, int h) {
        std::ofstream("bg.txt") << "1 " << w << ' ' << h << " 0 white\n" << std::string(static_cast<std::size_t>(w * h), '.');
        ASSERT_EQ(resources().loadSprite("bg.txt", "background"), 0);
    }
    test::ScratchDir dir;
};

TEST_F(Tiles, TenByFiveTilesCoverTheWorldColumnByColumn) {
    loadBackground(10, 5);
    const std::size_t before = world().getAllObjects().size();
    auto* background = new Background;
    const ObjectList& tiles = background->getTiles();
    ASSERT_EQ(tiles.size(), 400u);
    EXPECT_EQ(world().getAllObjects().size(), before + 401);
    EXPECT_EQ(tiles[0]->getPosition(), Vector(-95, -47.5f));
    EXPECT_EQ(tiles[1]->getPosition(), Vector(-95, -42.5f)); // down the first column first
    EXPECT_EQ(tiles[20]->getPosition(), Vector(-85, -47.5f));
    EXPECT_EQ(tiles[399]->getPosition(), Vector(95, 47.5f));
    EXPECT_EQ(tiles[0]->getBox(), Box(-5, 5, -2.5f, 2.5f));
    EXPECT_EQ(tiles[0]->getAltitude(), 0);
    EXPECT_EQ(tiles[0]->getSolidness(), INTANGIBLE);
    EXPECT_EQ(resources().getSprite("background")->getColor(), sf::Color(0, 255, 0, 51));
    EXPECT_EQ(background->getType(), "");

    // Birds fly over tiles without colliding with them.
    struct Witness : Object {
        int eventHandler(const Event* e) override { return hits += e->getType() == EventCollision::TYPE; }
        int hits = 0;
    };
    auto* witness = new Witness;
    witness->setSolidness(PERMEABLE);
    witness->setPosition(Vector(-95, -47.5f));
    world().update();
    EXPECT_EQ(witness->hits, 0);

    // Destroying the background destroys its tiles in the same walk.
    world().markForDelete(background);
    world().deleteMarked();
    EXPECT_EQ(world().getAllObjects().size(), before + 1);
}

TEST_F(Tiles, TilesMayReachPastTheRightAndBottomEdges) {
    loadBackground(30, 7);
    auto* background = new Background;
    const ObjectList& tiles = background->getTiles();
    ASSERT_EQ(tiles.size(), 7u * 15u);
    const Object* last = tiles[tiles.size() - 1];
    EXPECT_EQ(last->getPosition(), Vector(95, 51.5f));
    EXPECT_EQ(last->getWorldBox(), Box(80, 110, 48, 55));
}

} // namespace

namespace {

/// Every bird's position, velocity and state, in list order.
struct FlockState {
    std::vector<float> numbers;
    std::vector<int> states;
    bool operator==(const FlockState&) const = default;
};

FlockState snapshot() {
    FlockState s;
    for (Object* o : Bird::birdlist) {
        const auto* b = static_cast<Bird*>(o);
        s.numbers.insert(s.numbers.end(), {b->getPosition().x, b->getPosition().y, b->getVelocity().x, b->getVelocity().y});
        s.states.push_back(b->getState());
    }
    return s;
}

/// The game's flock (the hero and 1000 birds) flown for some frames from a fixed seed,
/// the hero steered to a wall and calling now and then. Returns the state after each frame.
std::vector<FlockState> fly(bool pruned, int frames) {
    Bird::setPrunedQueries(pruned);
    WorldManager& world = WorldManager::getInstance();
    world.setView(Box(-40, 40, -12, 12));
    std::srand(2024);
    auto* hero = new Hero;
    for (int i = 0; i < 1000; ++i) new Bird(i % 4);
    std::vector<FlockState> states;
    for (int frame = 0; frame < frames; ++frame) {
        if (frame % 25 == 0) { // the pointer swings around the screen centre (40, 12)
            const float angle = static_cast<float>(frame) * 0.05f;
            const EventMouse move(Vector(40 + 30 * std::cos(angle), 12 + 10 * std::sin(angle)), MOVED, -1);
            hero->eventHandler(&move);
        }
        if (frame % 40 == 10 || frame % 40 == 30) {
            const EventMouse button(hero->getCursor(), frame % 40 == 10 ? PRESSED : RELEASED, 0);
            hero->eventHandler(&button);
        }
        const EventStep step;
        world.onEvent(&step);
        world.update();
        world.deleteMarked();
        Bird::discardQuadTree(); // as the first bird drawn does
        states.push_back(snapshot());
    }
    world.shutDown();
    (void)world.startUp();
    return states;
}

TEST_F(FlockTest, PrunedAndLiteralQueriesFlyTheFlockBitForBit) {
    const int frames = 200;
    const std::vector<FlockState> literal = fly(false, frames);
    const std::vector<FlockState> pruned = fly(true, frames);
    ASSERT_EQ(literal.size(), pruned.size());
    for (int frame = 0; frame < frames; ++frame) {
        ASSERT_TRUE(literal[static_cast<std::size_t>(frame)] == pruned[static_cast<std::size_t>(frame)])
            << "the flocks part at frame " << frame;
    }
    // The run exercised what matters: followers, birds on walls, the hero on a wall.
    const FlockState& last = literal.back();
    EXPECT_GT(std::count(last.states.begin(), last.states.end(), static_cast<int>(FOLLOWING)), 0);
    int onWalls = 0;
    for (std::size_t i = 0; i < last.numbers.size(); i += 4) {
        onWalls += std::abs(last.numbers[i]) == 100.0f || std::abs(last.numbers[i + 1]) == 50.0f;
    }
    EXPECT_GT(onWalls, 0);
}

} // namespace
