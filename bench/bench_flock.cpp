// The game's flock: the hero and 1000 to 16000 birds in the 200 x 100 world, fixed seed.
// Per flock size it prints the step phase (every bird steering once), the world update
// (moving and colliding) and their sum per frame, each as median and 99th percentile in
// milliseconds, the sum's median per bird in microseconds, and the neighbours per bird.
//
//   bench_flock [frames [birds...]]      defaults: 120 frames; 1000 2000 4000 8000 16000 birds
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <mx/EventStep.h>
#include <mx/GameManager.h>
#include <mx/WorldManager.h>

#include "Bird.h"
#include "Hero.h"
#include "BenchSupport.h"

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

/// One flock of the given size, flown for the given number of frames.
void measure(int birds, int frames) {
    mx::WorldManager& world = mx::WorldManager::getInstance();
    world.shutDown();
    (void)world.startUp();
    world.setBoundary(mx::Box(-100, 100, -50, 50));
    world.setView(mx::Box(-40, 40, -12, 12));
    mx::GameManager::getInstance().getRandom().setSeed(1);
    new Hero;
    for (int i = 0; i < birds; ++i) {
        new Bird(i % 4);
    }
    std::vector<double> steps, updates, both;
    std::size_t neighbours = 0;
    for (int frame = 0; frame < frames; ++frame) {
        auto start = Clock::now();
        {
            const mx::EventStep step;
            world.onEvent(&step);
        }
        steps.push_back(millisecondsSince(start));
        if (frame == frames - 1) {
            for (mx::Object* b : Bird::birdlist) {
                neighbours += static_cast<Bird*>(b)->getNeighbours().size();
            }
        }
        start = Clock::now();
        world.update();
        updates.push_back(millisecondsSince(start));
        both.push_back(steps.back() + updates.back());
        Bird::discardQuadTree(); // as the first bird drawn in a frame does
    }
    std::printf("| %5d | %7.2f | %7.2f | %7.2f | %7.2f | %7.2f | %7.2f | %8.3f | %10.1f |\n", birds,
                bench::percentile(steps, 0.5), bench::percentile(steps, 0.99), bench::percentile(updates, 0.5),
                bench::percentile(updates, 0.99), bench::percentile(both, 0.5), bench::percentile(both, 0.99),
                bench::percentile(both, 0.5) * 1000.0 / birds,
                static_cast<double>(neighbours) / static_cast<double>(Bird::birdlist.size()));
    std::fflush(stdout);
    world.shutDown();
}

} // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 120;
    const std::vector<int> sizes = bench::sizesFrom(argc, argv, 2, {1000, 2000, 4000, 8000, 16000});
    std::printf("Flock step and world update over %d frames (milliseconds; per bird: microseconds)\n\n", frames);
    std::printf("| birds | step p50 | step p99 | update p50 | update p99 | both p50 | both p99 | per bird | neighbours |\n");
    std::printf("|------:|--------:|--------:|--------:|--------:|--------:|--------:|---------:|-----------:|\n");
    for (const int birds : sizes) {
        measure(birds, frames);
    }
    return 0;
}
