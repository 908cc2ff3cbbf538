#pragma once

#include "Bird.h"
#include "EventStep.h"
#include "TestSupport.h"
#include "WorldManager.h"

namespace test {

/// A started world of the game's size, (-100, 100, -50, 50), with an 80 x 24 view.
class FlockTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        world().setBoundary(mx::Box(-100, 100, -50, 50));
        world().setView(mx::Box(-40, 40, -12, 12));
        Bird::discardQuadTree();
        Bird::setPrunedQueries(true);
    }
    void TearDown() override {
        WorldTest::TearDown();
        Bird::setPrunedQueries(true);
        EXPECT_TRUE(Bird::birdlist.isEmpty());
    }
    static mx::WorldManager& world() { return mx::WorldManager::getInstance(); }

    /// A bird of a colour at a place with a velocity.
    static Bird* bird(int color, mx::Vector at, mx::Vector velocity = mx::Vector::ZERO) {
        auto* b = new Bird(color);
        b->setPosition(at);
        b->setVelocity(velocity);
        return b;
    }

    /// Sends one step event, as the frame's step phase does.
    static void step() {
        const mx::EventStep event;
        world().onEvent(&event);
    }
};

} // namespace test
