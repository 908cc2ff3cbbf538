// The frame loop as the player gets it: GameManager::run with its sleep, on the game scene
// (1000 birds, after SPACE) for 900 frames. Prints the period between frames (p1, p50,
// p99, least, most, in milliseconds), the drift (how far the last frame began from 899
// periods of 33 ms after the first), then the title screen's share of a core while it
// idles for 30 s: the process's CPU time over the wall time. Run on a display (scripts/bench).
//
//   bench_loop [frames [title seconds]]
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

#include "BenchSupport.h"
#include "Menu.h"
#include "Platform.h"
#include "GameSetup.h"

namespace {

using Clock = std::chrono::steady_clock;

/// An object at the front of the world: notes when each frame's step begins, and ends
/// the loop after the given number of frames.
class Metronome : public mx::Object {
public:
    explicit Metronome(int frames_) : frames(frames_) { setSolidness(mx::INTANGIBLE); }
    int eventHandler(const mx::Event* event) override {
        if (event->getType() == "StepEvent" && static_cast<int>(stamps.size()) < frames) {
            stamps.push_back(Clock::now());
            if (static_cast<int>(stamps.size()) == frames) {
                mx::GameManager::getInstance().setGameOver(true);
            }
        }
        return 0;
    }
    int draw() override { return 0; }
    std::vector<Clock::time_point> stamps;

private:
    int frames;
};

/// Runs the loop until a metronome has counted its frames; returns the share of a core used.
double runLoop() {
    mx::GameManager& game = mx::GameManager::getInstance();
    game.setGameOver(false);
    const double cpu = mx::platform::processorSeconds();
    const auto start = Clock::now();
    game.run();
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    return (mx::platform::processorSeconds() - cpu) / wall;
}

} // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::max(3, std::atoi(argv[1])) : 900;
    const double titleSeconds = argc > 2 ? std::atof(argv[2]) : 30.0;
    std::filesystem::current_path(MOLTRIX_SOURCE_DIR); // the game's data
    mx::GameManager::getInstance().getRandom().setSeed(1);
    if (setUpGame() == nullptr) {
        std::fprintf(stderr, "the engine did not start\n");
        return 1;
    }
    mx::GameManager& game = mx::GameManager::getInstance();
    mx::WorldManager& world = mx::WorldManager::getInstance();
    auto* title = new Metronome(static_cast<int>(titleSeconds * 1000.0 / game.getFrameTime()));
    const double titleShare = runLoop();
    world.markForDelete(title);
    world.deleteMarked();

    auto* metronome = new Metronome(frames); // right after the menu, before the game's objects
    const mx::EventKeyboard space(mx::Keyboard::SPACE, mx::KEY_RELEASED);
    world.onEvent(&space);
    const double gameShare = runLoop();

    std::vector<double> periods;
    for (std::size_t i = 1; i < metronome->stamps.size(); ++i) {
        periods.push_back(std::chrono::duration<double, std::milli>(metronome->stamps[i] - metronome->stamps[i - 1]).count());
    }
    const double span = std::chrono::duration<double, std::milli>(metronome->stamps.back() - metronome->stamps.front()).count();
    std::printf("Frame loop with its sleep: the game scene, %d frames (milliseconds)\n\n", frames);
    std::printf("| period p1 | p50 | p99 | least | most | drift over %zu periods |\n|---:|---:|---:|---:|---:|---:|\n", periods.size());
    std::printf("| %.2f | %.2f | %.2f | %.2f | %.2f | %+.2f |\n\n", bench::percentile(periods, 0.01), bench::percentile(periods, 0.5),
                bench::percentile(periods, 0.99), *std::min_element(periods.begin(), periods.end()),
                *std::max_element(periods.begin(), periods.end()), span - static_cast<double>(periods.size()) * game.getFrameTime());
    std::printf("CPU time over wall time: game scene %.1f%% of a core, idle title screen (%.0f s) %.1f%%\n",
                100.0 * gameShare, titleSeconds, 100.0 * titleShare);
    game.shutDown();
    return 0;
}
