// Objects and the world: overlap, lists, and the world update's order of events.
#undef NDEBUG // the checks a game's debug build makes
#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <functional>
#include <random>
#include <vector>

#include <mx/EventCollision.h>
#include <mx/EventOut.h>
#include <mx/WorldManager.h>

#include "TestSupport.h"
#include "WorldUpdate.h"

using namespace mx;
using Strings = std::vector<std::string>;

namespace {

TEST(Lists, RemoveMovesTheLastIntoTheGap) {
    int a, b, c;
    auto* pa = reinterpret_cast<Object*>(&a);
    auto* pb = reinterpret_cast<Object*>(&b);
    auto* pc = reinterpret_cast<Object*>(&c);
    ObjectList list;
    for (Object* p : {pa, pb, pa, pc}) list.insert(p);
    list.remove(pa);
    list.remove(pa);
    EXPECT_EQ(std::vector<Object*>(list.begin(), list.end()), (std::vector<Object*>{pc, pb}));
}

/// An object that writes the events it gets into a journal.
class Probe : public Object {
public:
    Probe(Strings& j, std::string n, Solidness s, Vector at = {}) : name(std::move(n)), journal(j) {
        setSolidness(s);
        setPosition(at);
    }
    ~Probe() override { journal.push_back("destroy " + name); }
    int eventHandler(const Event* e) override {
        if (e->getType() == EventCollision::TYPE) {
            const auto* c = static_cast<const EventCollision*>(e);
            journal.push_back(name + " hits " + static_cast<Probe*>(c->obj2)->name + (c->obj1 == this ? "" : " (wrong obj1)"));
            if (onCollision) onCollision(*c);
        } else if (e->getType() == EventOut::TYPE) {
            journal.push_back(name + " out");
            if (onOut) onOut();
        }
        return 1;
    }
    std::function<void(const EventCollision&)> onCollision;
    std::function<void()> onOut;
    std::string name;
    using Object::setBox;

private:
    Strings& journal;
};

class World : public test::WorldTest {
protected:
    Strings journal; // outlives the objects
};

/// Random worlds for comparing the update with the all-pairs one: objects of several box
/// sizes (empty ones among them), on half cells so that edges often touch, inside and far
/// outside the boundary, whose collision handlers draw from one random stream to move,
/// resize, re-solidify, delete and create objects, and (takeOuts) take them out at once.
struct Swarm {
    std::mt19937 random;
    bool takeOuts = false;
    std::vector<std::uint32_t> record; ///< events and, after each frame, every object's state
    std::uint32_t serials = 0;
    int hits = 0, outs = 0, created = 0, deleted = 0, takenOut = 0, acrossSeam = 0;

    float pick(int steps, float unit) { return static_cast<float>(static_cast<int>(random() % (2 * steps + 1)) - steps) * unit; }
    void act();
};

class Critter : public Object {
public:
    explicit Critter(Swarm& s) : swarm(s), serial(s.serials++) {
        scatter();
        resize();
        setSolidness(static_cast<Solidness>(swarm.random() % 3));
    }
    void scatter() {
        const unsigned r = swarm.random() % 50; // now and then far away, or at infinity (or NaN: 0 x infinity)
        const float far = r == 0 ? 1000.0f : r == 1 ? std::numeric_limits<float>::infinity() : 1.0f;
        setPosition(Vector(swarm.pick(60, 0.5f) * far, swarm.pick(30, 0.5f)));
        setVelocity(Vector(swarm.pick(2, 0.25f), swarm.pick(2, 0.25f)));
    }
    void resize() {
        constexpr float endless = std::numeric_limits<float>::infinity();
        static constexpr float sizes[][2] = {{0, 0}, {1, 1}, {2, 1}, {1, 3}, {0.5f, 0.5f}, {4, 4}, {60, 1}, {0, 2}, {endless, 1}};
        const auto* size = sizes[swarm.random() % 9];
        setBox(Box::centredOn(Vector::ZERO, size[0], size[1]));
    }
    int eventHandler(const Event* e) override {
        EXPECT_FALSE(isRemoved()) << "an object taken out of the world got an event";
        const bool hit = e->getType() == EventCollision::TYPE;
        const auto* other = hit ? static_cast<Critter*>(static_cast<const EventCollision*>(e)->obj2) : this;
        swarm.record.insert(swarm.record.end(), {hit ? 1u : 2u, serial, other->serial});
        if (hit) {
            const auto* c = static_cast<const EventCollision*>(e);
            for (const float f : {c->normal.x, c->normal.y, c->positionBefore.x, c->positionBefore.y}) {
                swarm.record.push_back(std::bit_cast<std::uint32_t>(f));
            }
            swarm.acrossSeam += !boxesIntersect(getWorldBox(), other->getWorldBox());
        }
        (hit ? swarm.hits : swarm.outs)++;
        if (hit) swarm.act();
        return 1;
    }
    Swarm& swarm;
    const std::uint32_t serial;
};

void Swarm::act() {
    WorldManager& world = WorldManager::getInstance();
    const ObjectList& all = world.getAllObjects();
    auto* other = static_cast<Critter*>(all[random() % all.size()]);
    switch (random() % 16) {
    case 0: other->scatter(); break;
    case 1: other->resize(); break;
    case 2: other->setSolidness(static_cast<Solidness>(random() % 3)); break;
    case 3: if (all.size() > 60) { world.markForDelete(other); ++deleted; } break;
    case 4: if (all.size() < 200) { new Critter(*this); ++created; } break;
    case 5: if (takeOuts && all.size() > 60) { world.markForDelete(other, REMOVE_AT_ONCE); ++takenOut; } break;
    default: break; // most collisions change nothing
    }
}

/// What the update means, written out in full: every pair in list order, the second of
/// each tried at the copies of a wrapping world (the world itself, then left, right, and
/// the row above and the row below in the same order), objects taken out skipped.
void everyPairAndCopy(WorldManager& world) {
    const ObjectList s = world.getAllObjects();
    const Box boundary = world.getBoundary();
    const float w = world.isWrappingAcross() ? boundary.getWidth() : 0.0f;
    const float h = world.isWrappingUpAndDown() ? boundary.getHeight() : 0.0f;
    std::vector<Vector> copies;
    for (const float dy : h != 0.0f ? std::vector<float>{0.0f, -h, h} : std::vector<float>{0.0f}) {
        for (const float dx : w != 0.0f ? std::vector<float>{0.0f, -w, w} : std::vector<float>{0.0f}) {
            copies.emplace_back(dx, dy);
        }
    }
    const std::size_t n = s.size();
    std::vector<Vector> old(n);
    std::vector<char> wasOut(n);
    for (std::size_t i = 0; i < n; ++i) {
        old[i] = s[i]->getPosition();
        wasOut[i] = !boxesIntersect(s[i]->getWorldBox(), boundary);
        s[i]->setPosition(world.wrap(old[i] + s[i]->getVelocity()));
    }
    for (std::size_t i = 0; i + 1 < n; ++i) {
        if (s[i]->getSolidness() == INTANGIBLE || s[i]->isRemoved()) continue;
        Box box = s[i]->getWorldBox();
        for (std::size_t j = i + 1; j < n; ++j) {
            if (s[j]->getSolidness() == INTANGIBLE) continue;
            const Box b = s[j]->getWorldBox();
            const auto copy = std::find_if(copies.begin(), copies.end(), [&](Vector d) {
                return boxesIntersect(box, Box(b.left + d.x, b.right + d.x, b.top + d.y, b.bottom + d.y));
            });
            if (copy == copies.end() || s[j]->isRemoved()) continue;
            const Box met(b.left + copy->x, b.right + copy->x, b.top + copy->y, b.bottom + copy->y);
            const Vector normal = contactNormal(box, world.displacement(old[i], s[i]->getPosition()), met,
                                                world.displacement(old[j], s[j]->getPosition()));
            if (s[i]->getSolidness() == SOLID && s[j]->getSolidness() == SOLID) {
                for (const std::size_t k : {i, j}) {
                    s[k]->setPosition(old[k]);
                    s[k]->setVelocity(Vector::ZERO);
                }
            }
            const EventCollision first(s[i], s[j], old[i], normal);
            s[i]->eventHandler(&first);
            if (!s[j]->isRemoved()) {
                const EventCollision second(s[j], s[i], old[j], Vector::ZERO - normal);
                s[j]->eventHandler(&second);
            }
            if (s[i]->isRemoved()) break;
            box = s[i]->getWorldBox();
        }
    }
    if (Object* followed = world.getViewFollowing()) {
        world.setView(Box::centredOn(followed->getPosition(), world.getView().getWidth(), world.getView().getHeight()));
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (!wasOut[i] && !boxesIntersect(s[i]->getWorldBox(), boundary) && !s[i]->isRemoved()) {
            const EventOut out;
            s[i]->eventHandler(&out);
        }
    }
}

/// How a random world is set up and updated.
struct Setup {
    void (*update)(WorldManager&);
    bool across = false, upAndDown = false, takeOuts = false;
};

/// Every frame's events and states of one random world.
std::vector<std::vector<std::uint32_t>> play(unsigned seed, const Setup& setup, int frames, Swarm& swarm) {
    WorldManager& world = WorldManager::getInstance();
    world.setWrapping(setup.across, setup.upAndDown);
    swarm.random.seed(seed);
    swarm.takeOuts = setup.takeOuts;
    for (int i = 0; i < 120; ++i) new Critter(swarm);
    std::vector<std::vector<std::uint32_t>> result;
    for (int frame = 0; frame < frames; ++frame) {
        for (int k = 0; k < 3; ++k) { // keeps the crowd from drifting apart
            static_cast<Critter*>(world.getAllObjects()[swarm.random() % world.getAllObjects().size()])->scatter();
        }
        setup.update(world);
        world.deleteMarked();
        for (Object* o : world.getAllObjects()) {
            const Box b = o->getWorldBox();
            const auto bits = [](float f) { return std::bit_cast<std::uint32_t>(f); };
            swarm.record.insert(swarm.record.end(), {static_cast<Critter*>(o)->serial, static_cast<std::uint32_t>(o->getSolidness()),
                                                     bits(o->getVelocity().x), bits(o->getVelocity().y), bits(b.left), bits(b.right), bits(b.top), bits(b.bottom)});
        }
        result.push_back(std::move(swarm.record));
        swarm.record.clear();
    }
    world.shutDown();
    (void)world.startUp();
    world.setBoundary(Box(-20, 20, -10, 10));
    return result;
}

/// Plays the same random worlds both ways, frame by frame; returns what the expected ones did.
Swarm compare(const Setup& expectedWay, const Setup& actualWay, int frames) {
    Swarm total;
    for (const unsigned seed : {1u, 2u, 3u}) {
        Swarm expectedSwarm, actualSwarm;
        const auto expected = play(seed, expectedWay, frames, expectedSwarm);
        const auto actual = play(seed, actualWay, frames, actualSwarm);
        for (std::size_t frame = 0; frame < expected.size(); ++frame) {
            EXPECT_EQ(actual[frame], expected[frame]) << "seed " << seed << ", frame " << frame;
            if (actual[frame] != expected[frame]) break;
        }
        for (auto [sum, part] : {std::pair{&total.hits, expectedSwarm.hits}, {&total.outs, expectedSwarm.outs},
                                 {&total.created, expectedSwarm.created}, {&total.deleted, expectedSwarm.deleted},
                                 {&total.takenOut, expectedSwarm.takenOut}, {&total.acrossSeam, expectedSwarm.acrossSeam}}) {
            *sum += part;
        }
    }
    return total;
}

void update(WorldManager& world) { world.update(); }

TEST_F(World, TheUpdateTellsWhatTestingEveryPairTells) {
    world().setBoundary(Box(-20, 20, -10, 10));
    const Swarm bounded = compare({reference::updateWorld}, {update}, 1000);
    // The worlds did what the comparison is for.
    EXPECT_GT(bounded.hits, 60000);
    EXPECT_GT(bounded.outs, 300);
    EXPECT_GT(bounded.created, 300);
    EXPECT_GT(bounded.deleted, 300);
    // The model below tells what the frozen update tells, where both apply.
    compare({reference::updateWorld}, {everyPairAndCopy}, 300);
}

TEST_F(World, WrappingAndTakingOutTellWhatTestingEveryPairAndCopyTells) {
    world().setBoundary(Box(-20, 20, -10, 10));
    for (const auto [across, upAndDown] : {std::pair{false, false}, {true, false}, {false, true}, {true, true}}) {
        SCOPED_TRACE(std::string("wrapping across ") + (across ? "on" : "off") + ", up and down " + (upAndDown ? "on" : "off"));
        const Swarm swarm = compare({everyPairAndCopy, across, upAndDown, true}, {update, across, upAndDown, true}, 500);
        EXPECT_GT(swarm.hits, 20000);
        EXPECT_GT(swarm.takenOut, 100);
        EXPECT_GT(swarm.created, 100);
        EXPECT_GT(swarm.outs, across && upAndDown ? 10 : 100); // both ways: only NaN and infinity leave
        if (across || upAndDown) {
            EXPECT_GT(swarm.acrossSeam, 1000);
        }
    }
}

TEST_F(World, CollisionsTellTheSideHitAndWhereTheMoverWasAndReflectBouncesOnce) {
    const auto side = [](Vector at, Vector moved, Vector otherAt = {}, Vector otherMoved = {}) {
        return contactNormal(Box::centredOn(at, 1, 1), moved, Box::centredOn(otherAt, 1, 1), otherMoved);
    };
    EXPECT_EQ(side({-0.8f, 0}, {0.5f, 0}), Vector::LEFT);
    EXPECT_EQ(side({0.3f, 0.9f}, {0.4f, -0.3f}), Vector::DOWN);          // x overlapped already: the bottom
    EXPECT_EQ(side({-0.9f, -0.6f}, {0.3f, 0.6f}), Vector::LEFT);         // apart on both: x closed last
    EXPECT_EQ(side({-0.9f, -0.9f}, {0.2f, 0.2f}), Vector::UP);           // a corner exactly: top or bottom
    EXPECT_EQ(side({0, 0}, {0, 0}, {0, 0.9f}, {0, -0.9f}), Vector::UP);  // the other came up from below
    EXPECT_EQ(side({0.2f, 0.1f}, {0, 0}), Vector::RIGHT);                // overlapped before: least overlap
    EXPECT_EQ(side({0, 0}, {0, 0}), Vector::ZERO);
    EXPECT_EQ(reflect(Vector(0.5f, 0.25f), Vector::UP), Vector(0.5f, -0.25f));
    EXPECT_EQ(reflect(Vector(0.5f, -0.25f), Vector::UP), Vector(0.5f, -0.25f)); // heading away: a second brick
    EXPECT_EQ(reflect(Vector(0.5f, 0.25f), Vector::ZERO), Vector(0.5f, 0.25f));

    // The two-object form, kept for older callers, stores what it is given, null included.
    const EventCollision none(nullptr, nullptr);
    EXPECT_EQ(none.obj1, nullptr);
    EXPECT_EQ(none.obj2, nullptr);
    EXPECT_EQ(none.positionBefore, Vector::ZERO);

    // A ball bounces off a brick and is put back; a cloud it was in meanwhile still learns where it came from.
    auto* ball = new Probe(journal, "ball", PERMEABLE);
    auto* brick = new Probe(journal, "brick", PERMEABLE, Vector(1.6f, 0));
    auto* cloud = new Probe(journal, "cloud", PERMEABLE, Vector(0.5f, 0));
    cloud->setBox(Box(-3, 3, -3, 3));
    ball->setVelocity(Vector(1, 0.5f));
    std::vector<EventCollision> seen;
    ball->onCollision = [&](const EventCollision& c) {
        seen.push_back(c);
        if (c.obj2 == brick) {
            ball->setPosition(c.positionBefore);
            ball->setVelocity(reflect(ball->getVelocity(), c.normal));
        }
    };
    world().update();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].normal, Vector::LEFT);
    EXPECT_EQ(seen[1].obj2, cloud);
    EXPECT_EQ(seen[1].positionBefore, Vector::ZERO); // not the position less the velocity, now reflected
    EXPECT_EQ(ball->getPosition(), Vector::ZERO);
    EXPECT_EQ(ball->getVelocity(), Vector(-1, 0.5f));

    // Solid objects still stop both; each is told the other's side it hit, and where it was.
    world().markForDelete(cloud);
    world().markForDelete(brick);
    world().deleteMarked();
    seen.clear();
    auto* wall = new Probe(journal, "wall", SOLID, Vector(3, 0));
    ball->setSolidness(SOLID);
    ball->setVelocity(Vector(1, 0));
    wall->setVelocity(Vector(-1.5f, 0));
    Vector wallSide;
    wall->onCollision = [&](const EventCollision& c) { wallSide = c.normal; };
    world().update();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].normal, Vector::LEFT);
    EXPECT_EQ(wallSide, Vector::RIGHT);
    EXPECT_EQ(seen[0].positionBefore, Vector::ZERO);
    EXPECT_EQ(wall->getPosition(), Vector(3, 0));
    EXPECT_EQ(ball->getVelocity(), Vector::ZERO);
}

struct Brick : Object {
    static constexpr const char* TYPE = "Brick";
    Brick() { setType(TYPE); setSolidness(PERMEABLE); }
};
struct Paddle : Object {
    static constexpr const char* TYPE = "Paddle";
    Paddle() { setType(TYPE); setSolidness(PERMEABLE); }
    int eventHandler(const Event* e) override {
        if (e->getType() == EventCollision::TYPE) marked += WorldManager::getInstance().markAllForDelete<Brick>();
        return 1;
    }
    int marked = 0;
};
struct Pretender : Object { // claims the paddle's type without being one
    static constexpr const char* TYPE = Paddle::TYPE;
};
struct Forgetful : Object { // never sets its type
    static constexpr const char* TYPE = "Forgetful";
};

TEST_F(World, EveryObjectOfATypeOrAllButSomeGoAtOnceEvenFromAnEventPass) {
    auto* paddle = new Paddle;
    for (int i = 0; i < 3; ++i) (new Brick)->setPosition(Vector(static_cast<float>(3 * i), 0));
    new Probe(journal, "ball", INTANGIBLE);
    world().update(); // the paddle meets a brick: marks them all
    EXPECT_EQ(paddle->marked, 3);
    EXPECT_EQ(world().objectsOfType(Brick::TYPE).size(), 3u); // alive until the deletion phase
    world().deleteMarked();
    EXPECT_TRUE(world().objectsOfType(Brick::TYPE).isEmpty());
    EXPECT_EQ(world().markAllForDelete<Brick>(), 0); // none left: nothing wrong
    EXPECT_EQ((world().markAllForDeleteExcept<Paddle, Brick>()), 1);
    world().deleteMarked();
    EXPECT_EQ(journal, Strings{"destroy ball"});
    EXPECT_EQ(world().getAllObjects().size(), 1u);

    // A debug build stops where a type and its class disagree, and says which way. (One line
    // only: GoogleTest's regex on Windows has no way across the line break to the assert.)
    const auto quietly = [](auto mark) { std::fflush(stdout); ::dup2(STDERR_FILENO, STDOUT_FILENO); mark(); };
    EXPECT_DEATH(quietly([] { world().markAllForDelete<Pretender>(); }), "another class carry the type 'Paddle' too");
    new Forgetful;
    EXPECT_DEATH(quietly([] { world().markAllForDeleteExcept<Paddle, Forgetful>(); }),
                 "class of type 'Forgetful' carry another type: ''");
}

/// A rock of a game's title screen, as the world knows it by type.
struct Rock : Probe {
    static constexpr const char* TYPE = "Rock";
    Rock(Strings& j, std::string n, Vector at) : Probe(j, std::move(n), PERMEABLE, at) { setType(TYPE); }
};

TEST_F(World, ObjectsTakenOutAtOnceMeetNothingMoreGetNoEventsAndAreDestroyedOnce) {
    // The ship meets two rocks of the old screen; its first collision clears them at once
    // and puts a new rock where they were, which meets nothing in this update.
    auto* ship = new Probe(journal, "ship", PERMEABLE);
    auto* near = new Rock(journal, "near", Vector(0.5f, 0));
    new Rock(journal, "far", Vector(-0.5f, 0));
    auto* keeper = new Probe(journal, "keeper", PERMEABLE, Vector(30, 0));
    world().setViewFollowing(near);
    near->startTimer("spin", 1, true);
    ship->onCollision = [&](const EventCollision&) {
        if (world().markAllForDelete<Rock>(REMOVE_AT_ONCE) == 2) new Rock(journal, "new", Vector::ZERO);
    };
    world().update();
    EXPECT_EQ(journal, Strings{"ship hits near"}); // not near's half of the pair, nor far
    EXPECT_TRUE(near->isRemoved());
    EXPECT_EQ(world().getViewFollowing(), nullptr);
    EXPECT_EQ(near->getTimerLeft("spin"), -1);
    // Out of the world's list now, the others in their order; alive until the deletion phase.
    ASSERT_EQ(world().getAllObjects().size(), 3u);
    EXPECT_EQ(world().getAllObjects()[1], keeper);
    EXPECT_EQ(world().objectsOfType(Rock::TYPE).size(), 1u);
    EXPECT_EQ(near->getPosition(), Vector(0.5f, 0));

    // Inside a broadcast: the objects after the one that clears get nothing more of it.
    Object* newRock = world().getAllObjects()[2];
    keeper->onOut = [&] {
        world().markForDelete(ship, REMOVE_AT_ONCE);
        world().markForDelete(newRock, REMOVE_AT_ONCE);
        world().markForDelete(newRock, REMOVE_AT_ONCE);
    };
    journal.clear();
    const EventOut out;
    world().onEvent(&out);
    EXPECT_EQ(journal, (Strings{"ship out", "keeper out"}));
    journal.clear();
    world().onEvent(&out);
    EXPECT_EQ(journal, Strings{"keeper out"});
    journal.clear();
    world().deleteMarked();
    EXPECT_EQ(journal, (Strings{"destroy near", "destroy far", "destroy ship", "destroy new"}));

    // The shut-down destroys one taken out since, which the list no longer holds.
    journal.clear();
    keeper->onOut = nullptr;
    new Probe(journal, "last", SOLID);
    world().markForDelete(keeper, REMOVE_AT_ONCE);
    world().shutDown();
    EXPECT_EQ(journal, (Strings{"destroy last", "destroy keeper"}));
}

TEST_F(World, AWrappingWorldBringsPositionsBackMeasuresTheShortWayAndMeetsAcrossTheSeam) {
    EXPECT_FALSE(world().isWrappingAcross() || world().isWrappingUpAndDown()); // off at first
    EXPECT_EQ(world().wrap(Vector(150, -70)), Vector(150, -70));
    EXPECT_EQ(world().displacement(Vector(99, 0), Vector(-99, 0)), Vector(-198, 0));

    world().setWrapping(true, false); // the boundary is (-100, 100, -50, 50)
    EXPECT_EQ(world().wrap(Vector(100, 60)), Vector(-100, 60)); // the right edge is the left one
    EXPECT_EQ(world().wrap(Vector(-100.25f, 0)), Vector(99.75f, 0));
    EXPECT_EQ(world().wrap(Vector(1234.5f, 0)), Vector(34.5f, 0));
    EXPECT_EQ(world().wrap(Vector(99.5f, 0)), Vector(99.5f, 0));
    EXPECT_EQ(world().wrap(Vector(-std::numeric_limits<float>::infinity(), 0)).x, -std::numeric_limits<float>::infinity());
    EXPECT_TRUE(std::isnan(world().wrap(Vector(std::nanf(""), 0)).x));
    EXPECT_EQ(world().displacement(Vector(99, 0), Vector(-99, -40)), Vector(2, -40));
    world().setWrapping(true);
    EXPECT_EQ(world().displacement(Vector(99, 45), Vector(-99, -45)), Vector(2, 10));
    EXPECT_EQ(world().displacement(Vector(0, 0), Vector(-60, 30)), Vector(-60, 30));
    world().setWrapping(true, false);

    // Across the seam a ball meets the wall's left side; up and down nothing wraps: the
    // diver leaves the world.
    auto* ball = new Probe(journal, "ball", PERMEABLE, Vector(99.5f, 0));
    auto* wall = new Probe(journal, "wall", PERMEABLE, Vector(-99.5f, 0));
    auto* runner = new Probe(journal, "runner", INTANGIBLE, Vector(99.75f, 20));
    auto* diver = new Probe(journal, "diver", INTANGIBLE, Vector(0, 49.75f));
    ball->setVelocity(Vector(0.25f, 0));
    runner->setVelocity(Vector(0.5f, 0));
    diver->setVelocity(Vector(0, 1));
    std::vector<EventCollision> seen;
    ball->onCollision = [&](const EventCollision& c) { seen.push_back(c); };
    wall->onCollision = [&](const EventCollision& c) { seen.push_back(c); };
    world().setViewFollowing(runner);
    world().update();
    EXPECT_EQ(journal, (Strings{"ball hits wall", "wall hits ball", "diver out"}));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].normal, Vector::LEFT);
    EXPECT_EQ(seen[1].normal, Vector::RIGHT);
    EXPECT_EQ(seen[0].positionBefore, Vector(99.5f, 0));
    EXPECT_EQ(runner->getPosition(), Vector(-99.75f, 20));
    EXPECT_EQ(world().getView(), Box(-139.75f, -59.75f, 8, 32)); // the view crosses the seam
    world().shutDown();
    EXPECT_FALSE(world().isWrappingAcross()); // nor after a shut-down
}

TEST_F(World, DeletionTakesMarkedObjectsAfterTheUpdateAndThoseTheyMark) {
    auto* victim = new Probe(journal, "victim", PERMEABLE);
    auto* hunter = new Probe(journal, "hunter", PERMEABLE);
    auto* tile = new Probe(journal, "tile", INTANGIBLE);
    victim->setVelocity(Vector(0.1f, 0));
    hunter->onCollision = [&](const EventCollision&) { world().markForDelete(victim); world().markForDelete(victim); };
    struct Owner : Probe {
        Owner(Strings& j, Object* t) : Probe(j, "owner", INTANGIBLE), owned(t) {}
        ~Owner() override { WorldManager::getInstance().markForDelete(owned); WorldManager::getInstance().markForDelete(this); }
        Object* owned;
    };
    auto* owner = new Owner(journal, tile);
    world().update();
    EXPECT_EQ(victim->getPosition(), Vector(0.1f, 0)); // still moved in the update that marked it
    world().markForDelete(owner);
    world().deleteMarked();
    EXPECT_EQ(journal, (Strings{"victim hits hunter", "hunter hits victim", "destroy victim", "destroy owner", "destroy tile"}));
    EXPECT_EQ(world().getAllObjects().size(), 1u);
}

TEST_F(World, TheViewFollowsAnObjectEvenOutsideTheBoundaryAndStopsWhenItGoes) {
    auto* hero = new Probe(journal, "hero", INTANGIBLE, Vector(300, -40));
    world().setViewFollowing(hero);
    world().update();
    EXPECT_EQ(world().getView(), Box(260, 340, -52, -28));
    world().markForDelete(hero);
    world().deleteMarked();
    EXPECT_EQ(world().getViewFollowing(), nullptr);
    world().update(); // reads nothing freed (AddressSanitizer would say)
    EXPECT_EQ(world().getView(), Box(260, 340, -52, -28));
}

TEST_F(World, ObjectsMadeBeforeStartUpAreKeptAndDestroyedAtShutDown) {
    world().shutDown();
    new Probe(journal, "early", SOLID);
    ASSERT_EQ(world().startUp(), 0);
    ASSERT_EQ(world().getAllObjects().size(), 1u);
    world().shutDown();
    EXPECT_EQ(journal, Strings{"destroy early"});
}

} // namespace
