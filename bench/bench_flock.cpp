// The game's flock step: 250 to 4000 birds and the hero in the 200 x 100 world, fixed seed.
// Prints, per flock size, the median and 90th percentile of the step phase (all birds
// steering once) and of the world update (moving and colliding), over many frames.
//
//   bench_flock [frames] [--literal]     --literal: the unpruned neighbour queries
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <mx/EventStep.h>
#include <mx/WorldManager.h>

#include "Bird.h"
#include "Hero.h"

namespace {

using Clock = std::chrono::steady_clock;

double percentile(std::vector<double> samples, double p) {
    std::sort(samples.begin(), samples.end());
    const auto i = static_cast<std::size_t>(p * static_cast<double>(samples.size() - 1) + 0.5);
    return samples[i];
}

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

/// One flock of the given size: step and update timings over the frames.
void measure(int birds, int frames) {
    mx::WorldManager& world = mx::WorldManager::getInstance();
    world.shutDown();
    (void)world.startUp();
    world.setBoundary(mx::Box(-100, 100, -50, 50));
    world.setView(mx::Box(-40, 40, -12, 12));
    std::srand(1);
    new Hero;
    for (int i = 0; i < birds; ++i) {
        new Bird(i % 4);
    }
    std::vector<double> steps;
    std::vector<double> updates;
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
        Bird::discardQuadTree(); // as the first bird drawn in a frame does
    }
    std::printf("| %5d | %8.2f | %8.2f | %10.2f | %10.2f | %9.1f |\n", birds, percentile(steps, 0.5),
                percentile(steps, 0.9), percentile(updates, 0.5), percentile(updates, 0.9),
                static_cast<double>(neighbours) / static_cast<double>(Bird::birdlist.size()));
    world.shutDown();
}

} // namespace

int main(int argc, char** argv) {
    int frames = 300;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--literal") == 0) {
            Bird::setPrunedQueries(false);
        } else {
            frames = std::max(1, std::atoi(argv[i]));
        }
    }
    std::printf("Flock step over %d frames, %s neighbour queries (milliseconds)\n\n", frames,
                Bird::getPrunedQueries() ? "pruned" : "literal");
    std::printf("| birds | step p50 | step p90 | update p50 | update p90 | neighbours |\n");
    std::printf("|------:|---------:|---------:|-----------:|-----------:|-----------:|\n");
    for (const int birds : {250, 500, 1000, 2000, 4000}) {
        measure(birds, frames);
    }
    return 0;
}
