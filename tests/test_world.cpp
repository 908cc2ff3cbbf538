// Objects and the world: registration, ids, lists, overlap, the world update's order of events.
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "EventCollision.h"
#include "EventOut.h"
#include "Object.h"
#include "Sprite.h"
#include "TestSupport.h"
#include "WorldManager.h"

using namespace mx;

namespace {

/// An object that writes the events it gets into a shared journal.
class Probe : public Object {
public:
    Probe(std::vector<std::string>& journal_, std::string name_, Solidness s = SOLID, Box b = {-0.5f, 0.5f, -0.5f, 0.5f})
        : name(std::move(name_)), journal(journal_) {
        setSolidness(s);
        setBox(b);
    }
    ~Probe() override { journal.push_back("destroy " + name); }
    int eventHandler(const Event* e) override {
        if (e->getType() == EventCollision::TYPE) {
            const auto* c = static_cast<const EventCollision*>(e);
            journal.push_back(name + " hits " + static_cast<Probe*>(c->obj2)->name +
                              (c->obj1 == this ? "" : " (obj1 wrong)"));
            if (onCollision) onCollision();
            return 1;
        }
        if (e->getType() == EventOut::TYPE) {
            journal.push_back(name + " out");
            return 1;
        }
        return 0;
    }
    std::function<void()> onCollision;
    std::function<void()> onDestroy;
    std::string name;

private:
    std::vector<std::string>& journal;
};

class World : public test::WorldTest {
protected:
    WorldManager& world = WorldManager::getInstance();
    std::vector<std::string> journal; // outlives the objects, which the fixture destroys
};

using Strings = std::vector<std::string>;

TEST(Geometry, BoxesIntersectOnlyWhenTheyOverlapOnBothAxes) {
    EXPECT_FALSE(boxesIntersect({0, 1, 0, 1}, {1, 2, 0, 1})); // edges touch
    EXPECT_FALSE(boxesIntersect({0, 2, 0, 1}, {0, 1, 5, 6})); // x overlaps, y does not
    EXPECT_TRUE(boxesIntersect({0, 4, 0, 4}, {1, 2, 1, 2}));  // inside
    EXPECT_TRUE(boxesIntersect({1, 2, 1, 2}, {0, 4, 0, 4}));
    EXPECT_TRUE(boxesIntersect({0, 1, 0, 1}, {0, 3, 0, 2}));  // same left and top edges
    EXPECT_TRUE(boxesIntersect({0, 2, 0, 2}, {1, 3, 1, 3}));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_FALSE(boxesIntersect({nan, nan, 0, 1}, {0, 1, 0, 1}));
    EXPECT_TRUE(boxesIntersect({nan, 1, 0, 1}, {0, 1, 0, 1})); // the right edges are equal
    EXPECT_EQ(Box::centredOn(Vector(0, 0), 5, 3), Box(-2.5f, 2.5f, -1.5f, 1.5f));
    EXPECT_FLOAT_EQ((Vector(3, 4) - Vector::ZERO).getMagnitude(), 5.0f);
    EXPECT_EQ(Vector(1, 2) + Vector::LEFT * 2.0f, Vector(-1, 2));
}

TEST(Lists, InsertSkipsPresentPointersAndRemoveMovesTheLastIntoTheGap) {
    int a, b, c, d; // only the addresses matter
    auto* pa = reinterpret_cast<Object*>(&a);
    auto* pb = reinterpret_cast<Object*>(&b);
    auto* pc = reinterpret_cast<Object*>(&c);
    auto* pd = reinterpret_cast<Object*>(&d);
    ObjectList list;
    list.insert(pa);
    list.insert(pb);
    list.insert(pa);
    list.insert(pc);
    list.insert(pd);
    ASSERT_EQ(list.size(), 4u);
    const ObjectList snapshot = list;
    list.remove(pa);
    EXPECT_EQ(std::vector<Object*>(list.begin(), list.end()), (std::vector<Object*>{pd, pb, pc}));
    list.remove(pa); // absent: nothing happens
    EXPECT_EQ(list.size(), 3u);
    EXPECT_EQ(snapshot.size(), 4u); // copies are independent snapshots
}

TEST_F(World, ObjectsRegisterInOrderAndLeaveByTheSwapRule) {
    const std::size_t before = world.getAllObjects().size();
    auto* p = new Probe(journal, "P");
    auto* q = new Probe(journal, "Q");
    auto* r = new Probe(journal, "R");
    EXPECT_EQ(q->getId(), p->getId() + 1);
    EXPECT_EQ(r->getId(), p->getId() + 2);
    ASSERT_EQ(world.getAllObjects().size(), before + 3);
    world.markForDelete(p);
    world.markForDelete(p); // marked twice, destroyed once
    world.deleteMarked();
    const ObjectList& all = world.getAllObjects();
    EXPECT_EQ(std::vector<Object*>(all.begin(), all.end()), (std::vector<Object*>{r, q}));
    EXPECT_EQ(journal, Strings{"destroy P"});
    EXPECT_EQ(world.objectsOfType("Menu").size(), 0u);
    q->setType("Menu");
    EXPECT_EQ(world.objectsOfType("Menu").size(), 1u);
    EXPECT_EQ(world.objectsOfType("menu").size(), 0u);
}

TEST_F(World, SpriteSizesTheBoxAndRestartsTheAnimation) {
    Sprite sprite(1);
    sprite.setWidth(5);
    sprite.setHeight(3);
    sprite.setLabel("five-by-three");
    auto* o = new Probe(journal, "o");
    EXPECT_EQ(o->getBox(), Box(-0.5f, 0.5f, -0.5f, 0.5f));
    o->setSprite(&sprite);
    EXPECT_EQ(o->getBox(), Box(-2.5f, 2.5f, -1.5f, 1.5f));
    EXPECT_EQ(o->getAnimation().name, "five-by-three");
    o->setPosition(Vector(10, 20));
    EXPECT_EQ(o->getWorldBox(), Box(7.5f, 12.5f, 18.5f, 21.5f));
    o->setSprite(nullptr);
    EXPECT_EQ(o->getBox(), Box(-0.5f, 0.5f, -0.5f, 0.5f));
    EXPECT_EQ(o->getAnimation().name, "");
}

TEST_F(World, CollisionPairsComeInListOrderWithBothPartiesTold) {
    // Three mutually overlapping permeable objects.
    new Probe(journal, "P", PERMEABLE);
    new Probe(journal, "Q", PERMEABLE);
    new Probe(journal, "R", PERMEABLE);
    new Probe(journal, "ghost", INTANGIBLE);
    new Probe(journal, "ghost2", INTANGIBLE);
    world.update();
    EXPECT_EQ(journal, (Strings{"P hits Q", "Q hits P", "P hits R", "R hits P", "Q hits R", "R hits Q"}));
}

TEST_F(World, SolidPairsArePutBackAndStoppedOthersKeepMoving) {
    auto* a = new Probe(journal, "A", SOLID);
    auto* b = new Probe(journal, "B", SOLID);
    a->setPosition(Vector(10, 10));
    b->setPosition(Vector(12, 10));
    a->setVelocity(Vector(0.8f, 0));
    b->setVelocity(Vector(-0.8f, 0));
    world.update();
    EXPECT_EQ(a->getPosition(), Vector(10, 10));
    EXPECT_EQ(b->getPosition(), Vector(12, 10));
    EXPECT_EQ(a->getVelocity(), Vector::ZERO);
    EXPECT_EQ(b->getVelocity(), Vector::ZERO);
    EXPECT_EQ(journal, (Strings{"A hits B", "B hits A"}));

    journal.clear();
    auto* c = new Probe(journal, "C", PERMEABLE);
    c->setPosition(Vector(20, 10));
    c->setVelocity(Vector(0, 0.5f));
    a->setPosition(Vector(20, 11));
    a->setVelocity(Vector(0, -0.2f));
    world.update();
    EXPECT_EQ(c->getPosition(), Vector(20, 10.5f)); // never blocked
    EXPECT_EQ(a->getVelocity(), Vector(0, -0.2f));
    EXPECT_EQ(journal, (Strings{"A hits C", "C hits A"}));

    journal.clear();
    c->setVelocity(Vector::ZERO);
    a->setVelocity(Vector::ZERO);
    a->setPosition(Vector(19, 10.5f)); // touches C along an edge only
    world.update();
    EXPECT_TRUE(journal.empty());
}

TEST_F(World, APutBackChangesThePairsTestedAfterIt) {
    // A and B collide and go back; C, which only overlaps where A moved to, is then missed.
    auto* a = new Probe(journal, "A", SOLID);
    auto* b = new Probe(journal, "B", SOLID);
    auto* c = new Probe(journal, "C", PERMEABLE);
    a->setPosition(Vector(10, 10));
    a->setVelocity(Vector(1, 0));
    b->setPosition(Vector(11.5f, 10));
    c->setPosition(Vector(11.2f, 10));
    world.update();
    EXPECT_EQ(journal, (Strings{"A hits B", "B hits A", "B hits C", "C hits B"}));
}

TEST_F(World, OutEventsOnlyWhenLeavingAndAfterAllCollisions) {
    auto* leaver = new Probe(journal, "leaver", PERMEABLE);
    auto* other = new Probe(journal, "other", PERMEABLE);
    leaver->setPosition(Vector(0.2f, 5));
    leaver->setVelocity(Vector(-1, 0)); // lies wholly outside after moving
    other->setPosition(Vector(-0.6f, 5));
    auto* born = new Probe(journal, "bornOutside", PERMEABLE);
    born->setPosition(Vector(-50, -50));
    born->setVelocity(Vector(-1, 0));
    world.update();
    EXPECT_EQ(journal, (Strings{"leaver hits other", "other hits leaver", "leaver out"}));

    journal.clear();
    leaver->setSolidness(INTANGIBLE);
    world.update(); // still outside: no second event
    EXPECT_TRUE(journal.empty());

    leaver->setPosition(Vector(1, 5));
    leaver->setVelocity(Vector::ZERO);
    world.update(); // back inside
    leaver->setVelocity(Vector(-5, 0));
    world.update();
    EXPECT_EQ(journal, Strings{"leaver out"});
}

TEST_F(World, ViewFollowsAnObjectEvenOutsideTheBoundary) {
    auto* hero = new Probe(journal, "hero", INTANGIBLE);
    hero->setPosition(Vector(300, -40));
    world.setViewFollowing(hero);
    world.update();
    EXPECT_EQ(world.getView(), Box(260, 340, -52, -28));
    world.setViewFollowing(nullptr);
    hero->setPosition(Vector(0, 0));
    world.update();
    EXPECT_EQ(world.getView(), Box(260, 340, -52, -28));
}

TEST_F(World, MarkedObjectsLiveThroughTheUpdateAndDestructorsMayMarkMore) {
    auto* victim = new Probe(journal, "victim", PERMEABLE);
    auto* hunter = new Probe(journal, "hunter", PERMEABLE);
    auto* tile = new Probe(journal, "tile", INTANGIBLE);
    victim->setVelocity(Vector(0.1f, 0));
    hunter->onCollision = [&] { world.markForDelete(victim); };
    victim->onCollision = [&] {};
    // A destructor that marks another object, and the object it marks marks itself again.
    struct Owner : Probe {
        Owner(std::vector<std::string>& j, Object* t) : Probe(j, "owner", INTANGIBLE), owned(t) {}
        ~Owner() override { WorldManager::getInstance().markForDelete(owned); WorldManager::getInstance().markForDelete(this); }
        Object* owned;
    };
    auto* owner = new Owner(journal, tile);
    world.update();
    world.markForDelete(owner);
    EXPECT_EQ(victim->getPosition(), Vector(0.1f, 0)); // still moved in the update that marked it
    world.deleteMarked();
    EXPECT_EQ(journal, (Strings{"victim hits hunter", "hunter hits victim", "destroy victim", "destroy owner",
                                "destroy tile"}));
    EXPECT_EQ(world.getAllObjects().size(), 1u);
}

TEST_F(World, BroadcastUsesASnapshotAndShutDownDestroysEverything) {
    struct Spawner : Object {
        explicit Spawner(int& c) : count(c) {}
        int eventHandler(const Event* e) override {
            ++count;
            if (e->getType() == "Spawn") new Spawner(count); // misses this broadcast
            return 1;
        }
        int& count;
    };
    int handled = 0;
    new Spawner(handled);
    new Spawner(handled);
    Event spawn;
    spawn.setType("Spawn");
    world.onEvent(&spawn);
    EXPECT_EQ(handled, 2);
    EXPECT_EQ(world.getAllObjects().size(), 4u);
    world.shutDown();
    EXPECT_EQ(world.getAllObjects().size(), 0u);
}

} // namespace
