// Objects and the world: overlap, lists, and the world update's order of events.
#include <functional>
#include <vector>

#include <mx/EventCollision.h>
#include <mx/EventOut.h>

#include "TestSupport.h"

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
            if (onCollision) onCollision();
        } else if (e->getType() == EventOut::TYPE) {
            journal.push_back(name + " out");
        }
        return 1;
    }
    std::function<void()> onCollision;
    std::string name;

private:
    Strings& journal;
};

class World : public test::WorldTest {
protected:
    Strings journal; // outlives the objects
};

TEST_F(World, PairsInListOrderSolidPairsPutBackOthersKeepMoving) {
    new Probe(journal, "P", PERMEABLE);
    new Probe(journal, "Q", PERMEABLE);
    new Probe(journal, "R", PERMEABLE);
    new Probe(journal, "ghost", INTANGIBLE);
    world().update();
    EXPECT_EQ(journal, (Strings{"P hits Q", "Q hits P", "P hits R", "R hits P", "Q hits R", "R hits Q"}));
    world().shutDown();
    ASSERT_EQ(world().startUp(), 0);

    // A and B collide and go back, stopped; C, which only overlaps where A moved to, is missed.
    journal.clear();
    auto* a = new Probe(journal, "A", SOLID, Vector(10, 10));
    new Probe(journal, "B", SOLID, Vector(11.5f, 10));
    auto* c = new Probe(journal, "C", PERMEABLE, Vector(11.2f, 10));
    a->setVelocity(Vector(1, 0));
    c->setVelocity(Vector(0, 0.5f));
    world().update();
    EXPECT_EQ(journal, (Strings{"A hits B", "B hits A", "B hits C", "C hits B"}));
    EXPECT_EQ(a->getPosition(), Vector(10, 10));
    EXPECT_EQ(a->getVelocity(), Vector::ZERO);
    EXPECT_EQ(c->getPosition(), Vector(11.2f, 10.5f)); // a permeable object is never blocked
}

TEST_F(World, OutEventsOnlyWhenLeavingAndAfterAllCollisions) {
    auto* leaver = new Probe(journal, "leaver", PERMEABLE, Vector(-99.8f, 5));
    new Probe(journal, "other", PERMEABLE, Vector(-100.6f, 5));
    (new Probe(journal, "bornOutside", INTANGIBLE, Vector(-150, 0)))->setVelocity(Vector(-1, 0));
    leaver->setVelocity(Vector(-1, 0));
    world().update();
    EXPECT_EQ(journal, (Strings{"leaver hits other", "other hits leaver", "leaver out"}));
    journal.clear();
    leaver->setSolidness(INTANGIBLE);
    world().update(); // still outside: no second event
    leaver->setPosition(Vector(-99, 5));
    world().update(); // back inside, then out again
    leaver->setVelocity(Vector(-5, 0));
    world().update();
    EXPECT_EQ(journal, Strings{"leaver out"});
}

TEST_F(World, DeletionTakesMarkedObjectsAfterTheUpdateAndThoseTheyMark) {
    auto* victim = new Probe(journal, "victim", PERMEABLE);
    auto* hunter = new Probe(journal, "hunter", PERMEABLE);
    auto* tile = new Probe(journal, "tile", INTANGIBLE);
    victim->setVelocity(Vector(0.1f, 0));
    hunter->onCollision = [&] { world().markForDelete(victim); world().markForDelete(victim); };
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
