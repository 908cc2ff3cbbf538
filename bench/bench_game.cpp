// The real game scene, frame by frame, without the loop's sleep: the engine started with
// the game's data, the title, SPACE released, then a round's full object set (1000 birds,
// the hero, tiles, nests, counters), the mouse moving every frame as a player's does. Prints
// each phase's median and the 99th percentile of a frame's work (all phases but sleep), in
// milliseconds; then the same frames side by side, in alternate blocks, without and with
// the session being recorded (its inputs, a checkpoint every 30 frames, the file written by
// its own thread), and what one checkpoint's world hash costs. Run on a display (scripts/bench).
//
//   bench_game [frames]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

#include <mx/DisplayManager.h>
#include <mx/EventKeyboard.h>
#include <mx/GameManager.h>
#include <mx/InputManager.h>
#include <mx/Version.h>
#include <mx/WorldManager.h>
#include <mx/testing/TestHooks.h>

#include "Menu.h"
#include "GameSetup.h"
#include "BenchSupport.h"

using mx::TestHooks;

namespace {

constexpr int BLOCK = 60; ///< frames in a block of the side-by-side run: two checkpoints

/// The pointer going round the screen, a move every frame, and a call now and then.
std::string mouseScript(int frames) {
    std::ostringstream script;
    script << "moltrix-input 2\nengine " << mx::engineVersion() << "\nseed 1\n";
    for (int f = 0; f < frames; ++f) {
        script << f << " mouse moved " << 40 + (f * 7) % 37 << ' ' << 12 + (f * 3) % 11 << '\n';
        if (f % 90 == 45 || f % 90 == 60) {
            script << f << " mouse " << (f % 90 == 45 ? "pressed" : "released") << " left 40 12\n";
        }
    }
    script << "end " << frames << '\n';
    return script.str();
}

double mean(const std::vector<double>& samples) {
    return std::accumulate(samples.begin(), samples.end(), 0.0) / static_cast<double>(samples.size());
}

} // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::max(2 * BLOCK, std::atoi(argv[1])) : 600;
    std::filesystem::current_path(MOLTRIX_SOURCE_DIR); // the game's data
    mx::GameManager::getInstance().getRandom().setSeed(1);
    if (setUpGame() == nullptr) {
        std::fprintf(stderr, "the engine did not start\n");
        return 1;
    }
    mx::GameManager& game = mx::GameManager::getInstance();
    mx::WorldManager& world = mx::WorldManager::getInstance();
    mx::InputManager& input = mx::InputManager::getInstance();
    for (int i = 0; i < 30; ++i) {
        TestHooks::runFrame(); // the title
    }

    const auto start = std::chrono::steady_clock::now();
    const mx::EventKeyboard space(mx::Keyboard::SPACE, mx::KEY_RELEASED);
    world.onEvent(&space);
    const double creation = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    const int recordedFrames = frames - frames % (2 * BLOCK);
    std::istringstream script(mouseScript(frames + recordedFrames + 1));
    if (input.startReplayFromStream(script, "mouse") != 0) {
        return 1;
    }

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

    // Recording on and off in alternate blocks of the same flight, so that the machine's
    // load and the flock's changes fall on both alike.
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "moltrix-bench-game.txt";
    std::vector<double> plain, recorded;
    for (int block = 0; block < recordedFrames / BLOCK; ++block) {
        const bool recording = block % 2 == 1;
        if (recording && input.startRecording(file, 1) != 0) {
            return 1;
        }
        for (int i = 0; i < BLOCK; ++i) {
            TestHooks::runFrame();
            (recording ? recorded : plain).push_back(static_cast<double>(game.getProfile().total) / 1000.0);
        }
        if (recording && input.stopRecording() != 0) {
            return 1;
        }
        std::filesystem::remove(file);
    }
    // A checkpoint's own cost: the world hash of the whole scene.
    constexpr int HASHES = 200;
    const auto hashStart = std::chrono::steady_clock::now();
    std::uint64_t sink = 0;
    for (int i = 0; i < HASHES; ++i) {
        sink += game.getWorldHash(); // used, so that no call is left out
    }
    const double hashMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - hashStart).count() / HASHES;
    std::printf("\nRecording, side by side (%d frames each, in alternate blocks of %d; milliseconds of work a frame)\n\n",
                static_cast<int>(plain.size()), BLOCK);
    std::printf("| | mean | median | p99 |\n|---|---:|---:|---:|\n");
    std::printf("| not recorded | %.3f | %.3f | %.3f |\n", mean(plain), bench::percentile(plain, 0.5), bench::percentile(plain, 0.99));
    std::printf("| recorded | %.3f | %.3f | %.3f |\n", mean(recorded), bench::percentile(recorded, 0.5), bench::percentile(recorded, 0.99));
    std::printf("| recorded / not | %.3f | %.3f | %.3f |\n", mean(recorded) / mean(plain),
                bench::percentile(recorded, 0.5) / bench::percentile(plain, 0.5),
                bench::percentile(recorded, 0.99) / bench::percentile(plain, 0.99));
    std::printf("\nA checkpoint's world hash (%zu objects): %.3f ms, every 30 frames: %.2f%% of the median frame's work "
                "(sum %016llx)\n", world.getAllObjects().size(), hashMs, 100.0 * hashMs / 30.0 / bench::percentile(work, 0.5),
                static_cast<unsigned long long>(sink));
    std::printf("budget: recording and checkpoints add under 1%% to a frame's work\n");
    game.shutDown();
    return 0;
}
