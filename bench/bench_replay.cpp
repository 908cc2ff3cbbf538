// A recorded session replayed without a window, as `moltrix --replay FILE --headless` runs
// it: by default the three-minute round the tests replay (tests/data/full-round.txt: the
// title, 5,400 frames of 1,000 birds, the game over, the title again). Prints the wall time
// of the whole replay, each phase's share and median, and the world hash it ends in. Needs
// no display.
//
//   bench_replay [recording]
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include <mx/DisplayManager.h>
#include <mx/GameManager.h>
#include <mx/Hash.h>
#include <mx/InputManager.h>

#include "BenchSupport.h"
#include "Menu.h"
#include "GameSetup.h"

namespace {

/// The processor time this thread has used: on a busy machine it says more than the wall
/// time, and it leaves out the sound system's thread.
double threadSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char** argv) {
    const std::filesystem::path recording =
        argc > 1 ? std::filesystem::absolute(argv[1]) : std::filesystem::path(MOLTRIX_SOURCE_DIR) / "tests/data/full-round.txt";
    std::filesystem::current_path(MOLTRIX_SOURCE_DIR); // the game's data
    mx::DisplayManager::getInstance().setHeadless(true);
    mx::InputManager& input = mx::InputManager::getInstance();
    if (setUpGame() == nullptr || input.startReplay(recording) != 0) {
        std::fprintf(stderr, "the engine did not start, or the recording was refused\n");
        return 1;
    }
    mx::GameManager& game = mx::GameManager::getInstance();

    std::vector<double> phases[6];
    double sums[6] = {};
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = threadSeconds();
    while (game.runFrames(1) == 1) {
        const mx::FrameProfile& p = game.getProfile();
        const std::int64_t us[6] = {p.input, p.step, p.update, p.deletion, p.draw, p.swap};
        for (int k = 0; k < 6; ++k) {
            phases[k].push_back(static_cast<double>(us[k]) / 1000.0);
            sums[k] += static_cast<double>(us[k]) / 1000.0;
        }
        if (game.getGameOver()) {
            break;
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = threadSeconds() - cpuStart;
    const std::size_t frames = phases[0].size();
    std::printf("Replayed %zu frames of %s without a window in %.2f s (%.2f s of the game thread's processor "
                "time): %.3f ms a frame\n\n",
                frames, recording.filename().string().c_str(), seconds, cpu, seconds * 1000.0 / static_cast<double>(frames));
    std::printf("| phase | share | median ms |\n|---|---:|---:|\n");
    const char* const names[6] = {"input", "step", "update", "deletion", "draw (the grid)", "swap"};
    for (int k = 0; k < 6; ++k) {
        std::printf("| %s | %.0f%% | %.3f |\n", names[k], 100.0 * sums[k] / (seconds * 1000.0), bench::percentile(phases[k], 0.5));
    }
    std::printf("\nworld hash: %s\n", mx::Hash::toText(game.getWorldHash()).c_str());
    std::printf("budget: a three-minute round (5,400 frames of play) in under 8 s\n");
    game.shutDown();
    return 0;
}
