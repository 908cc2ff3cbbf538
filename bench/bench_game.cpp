// The real game scene, frame by frame, without the loop's sleep: the engine started with
// the game's data, the title, SPACE released, then a round's full object set (1000 birds,
// the hero, tiles, nests, counters). Prints each phase's median and the 99th percentile of
// a frame's work (all phases but sleep), in milliseconds. Run on a display (scripts/bench).
//
//   bench_game [frames]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include <mx/DisplayManager.h>
#include <mx/EventKeyboard.h>
#include <mx/GameManager.h>
#include <mx/WorldManager.h>
#include <mx/testing/TestHooks.h>

#include "Menu.h"
#include "GameSetup.h"
#include "BenchSupport.h"

using mx::TestHooks;
int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::max(10, std::atoi(argv[1])) : 600;
    std::filesystem::current_path(MOLTRIX_SOURCE_DIR); // the game's data
    if (setUpGame() == nullptr) {
        std::fprintf(stderr, "the engine did not start\n");
        return 1;
    }
    mx::GameManager::getInstance().getRandom().setSeed(1);
    mx::GameManager& game = mx::GameManager::getInstance();
    mx::WorldManager& world = mx::WorldManager::getInstance();
    for (int i = 0; i < 30; ++i) {
        TestHooks::runFrame(); // the title
    }

    const auto start = std::chrono::steady_clock::now();
    const mx::EventKeyboard space(mx::Keyboard::SPACE, mx::KEY_RELEASED);
    world.onEvent(&space);
    const double creation = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();

    std::vector<double> phases[6];
    std::vector<double> work;
    for (int i = 0; i < frames; ++i) {
        TestHooks::runFrame();
        const mx::FrameProfile& p = game.getProfile();
        const std::int64_t us[6] = {p.input, p.step, p.update, p.deletion, p.draw, p.swap};
        for (int k = 0; k < 6; ++k) {
            phases[k].push_back(static_cast<double>(us[k]) / 1000.0);
        }
        work.push_back(static_cast<double>(p.total) / 1000.0);
    }
    std::printf("Game scene: %zu objects, %d frames after SPACE (milliseconds; creating the game took %.1f)\n\n",
                world.getAllObjects().size(), frames, creation);
    std::printf("| phase | median | p99 |\n|---|---:|---:|\n");
    const char* const names[6] = {"input", "step", "update", "deletion", "draw", "swap"};
    for (int k = 0; k < 6; ++k) {
        std::printf("| %s | %.2f | %.2f |\n", names[k], bench::percentile(phases[k], 0.5), bench::percentile(phases[k], 0.99));
    }
    std::printf("| work (all but sleep) | %.2f | %.2f |\n", bench::percentile(work, 0.5), bench::percentile(work, 0.99));
    std::printf("\nbudget: median work <= 16.5 (half the 33 ms period), p99 < 33\n");
    game.shutDown();
    return 0;
}
