// The engine alone: the world update with 1000, 4000 and 10000 moving objects. Each has
// the default one-cell box at a random whole-cell place over the 200 x 100 boundary, a
// speed on each axis of a random multiple of 0.1 cells a frame from -0.2 to 0.2, and in
// turn the solidness solid, permeable, intangible; its handler counts the events it gets.
// Prints the update's median and 99th percentile in milliseconds, and events per frame, for
// the bounded world and for the same world wrapping both ways (setWrapping), side by side.
//
//   bench_world [frames [objects...]]     defaults: 300 frames; 1000 4000 10000 objects
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include <mx/Object.h>
#include <mx/WorldManager.h>
#include "BenchSupport.h"

namespace {

using Clock = std::chrono::steady_clock;

long events = 0;

class Counter : public mx::Object {
public:
    int eventHandler(const mx::Event*) override {
        ++events;
        return 1;
    }
};

void measure(int count, int frames, bool wrapping) {
    mx::WorldManager& world = mx::WorldManager::getInstance();
    world.shutDown();
    (void)world.startUp();
    world.setBoundary(mx::Box(-100, 100, -50, 50));
    world.setWrapping(wrapping);
    std::mt19937 random(1);
    std::uniform_int_distribution<int> x(-100, 99), y(-50, 49), tenths(-2, 2);
    const mx::Solidness solidness[3] = {mx::SOLID, mx::PERMEABLE, mx::INTANGIBLE};
    for (int i = 0; i < count; ++i) {
        auto* o = new Counter;
        o->setPosition(mx::Vector(static_cast<float>(x(random)), static_cast<float>(y(random))));
        o->setVelocity(mx::Vector(static_cast<float>(tenths(random)) * 0.1f, static_cast<float>(tenths(random)) * 0.1f));
        o->setSolidness(solidness[i % 3]);
    }
    events = 0;
    std::vector<double> updates;
    for (int frame = 0; frame < frames; ++frame) {
        const auto start = Clock::now();
        world.update();
        updates.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::printf("| %6d | %-8s | %8.3f | %8.3f | %10.0f |\n", count, wrapping ? "wrapping" : "bounded",
                bench::percentile(updates, 0.5), bench::percentile(updates, 0.99), static_cast<double>(events) / frames);
    std::fflush(stdout);
    world.shutDown();
}

} // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    const std::vector<int> counts = bench::sizesFrom(argc, argv, 2, {1000, 4000, 10000});
    std::printf("World update over %d frames (milliseconds)\n\n", frames);
    std::printf("| objects | world | update p50 | update p99 | events per frame |\n");
    std::printf("|-------:|:--------|--------:|--------:|-----------:|\n");
    for (const int count : counts) {
        measure(count, frames, false);
        measure(count, frames, true);
    }
    return 0;
}
