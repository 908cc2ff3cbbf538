// Whole rounds of the game in one process, frame after frame without the loop's sleep: the
// real scene, SPACE, a pointer that roams and calls, the game over, back to the title.
// Under the sanitizers nothing may leak or misbehave; in the plain build resident memory
// must hold steady from round to round.
#include <unistd.h>

#include <malloc.h>
#include <random>

#include <mx/EventKeyboard.h>
#include <mx/EventMouse.h>
#include <mx/testing/TestHooks.h>

#include "Menu.h"
#include "Program.h"
#include "TestSupport.h"

using namespace mx;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr int ROUNDS = 2; // memory sizes mean nothing under the sanitizers
#else
constexpr int ROUNDS = 3;
#endif

/// Resident memory, once the allocator has handed its free pages back: what is in use.
long residentBytes() {
    ::malloc_trim(0);
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return resident * ::sysconf(_SC_PAGESIZE);
}

TEST(Soak, WholeRoundsEndOnTheTitleAndMemoryHoldsSteady) {
    test::ScratchDir dir{"mx-font.ttf", "sprites", "sounds"};
    Menu* menu = setUpGame();
    ASSERT_NE(menu, nullptr);
    GameManager& game = GameManager::getInstance();
    WorldManager& world = WorldManager::getInstance();
    std::mt19937 random(11);
    std::uniform_real_distribution<float> x(0, 80), y(0, 24);
    std::vector<long> resident;
    for (int round = 0; round < ROUNDS; ++round) {
        const EventKeyboard space(Keyboard::SPACE, KEY_RELEASED);
        world.onEvent(&space);
        int frames = 0;
        for (; !menu->isTitleShown() && frames < 6000; ++frames) {
            if (frames % 5 == 0) { // a move now and then, a call of a second every four
                const MouseAction action = frames % 120 == 0 ? PRESSED : frames % 120 == 30 ? RELEASED : MOVED;
                const EventMouse mouse(Vector(x(random), y(random)), action, 0);
                world.onEvent(&mouse);
            }
            TestHooks::runFrame();
        }
        ASSERT_TRUE(menu->isTitleShown()) << "round " << round;
        EXPECT_GT(frames, 5500) << "round " << round; // three minutes and the game-over picture
        ASSERT_EQ(world.getAllObjects().size(), 1u) << "round " << round;
        EXPECT_EQ(world.getAllObjects()[0], menu);
        EXPECT_TRUE(Bird::birdlist.isEmpty());
        resident.push_back(residentBytes());
    }
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_LE(resident.back() - resident.front(), (ROUNDS - 1) * 1000000L)
        << "resident bytes after each round: " << testing::PrintToString(resident);
#endif
    game.shutDown();
}

} // namespace
