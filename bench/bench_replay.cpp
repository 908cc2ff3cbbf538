// A recorded session replayed without a window, as `moltrix --replay FILE --headless` runs
// it: by default the three-minute round the tests replay (tests/data/full-round.txt: the
// title, 5,400 frames of 1,000 birds, the game over, the title again). Prints the wall time
// of the whole replay, each phase's share and median, and the world hash it ends in; then
// the replay again, side by side, with its checkpoints checked and without them (the same
// file with its checkpoint lines left out), twice each, in turns. Needs no display.
//
//   bench_replay [recording]
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
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

/// One replay from a fresh start of the game: its times, and each frame's phases.
struct Replay {
    double seconds = 0;
    double cpu = 0;
    std::vector<double> phases[6];
    double sums[6] = {};
    std::uint64_t hash = 0;
    bool matched = false; ///< every checkpoint held
};

/// Starts the game afresh (the title as after the program's start) and replays a recording's text.
bool replay(const std::string& text, const std::string& name, Replay& result) {
    mx::GameManager& game = mx::GameManager::getInstance();
    mx::InputManager& input = mx::InputManager::getInstance();
    std::istringstream in(text);
    if (setUpGame() == nullptr || input.startReplayFromStream(in, name) != 0) {
        return false;
    }
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = threadSeconds();
    while (game.runFrames(1) == 1) {
        const mx::FrameProfile& p = game.getProfile();
        const std::int64_t us[6] = {p.input, p.step, p.update, p.deletion, p.draw, p.swap};
        for (int k = 0; k < 6; ++k) {
            result.phases[k].push_back(static_cast<double>(us[k]) / 1000.0);
            result.sums[k] += static_cast<double>(us[k]) / 1000.0;
        }
        if (game.getGameOver()) {
            break;
        }
    }
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.cpu = threadSeconds() - cpuStart;
    result.hash = game.getWorldHash();
    result.matched = !input.getReplayMismatch();
    game.shutDown();
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const std::filesystem::path recording =
        argc > 1 ? std::filesystem::absolute(argv[1]) : std::filesystem::path(MOLTRIX_SOURCE_DIR) / "tests/data/full-round.txt";
    std::filesystem::current_path(MOLTRIX_SOURCE_DIR); // the game's data
    mx::DisplayManager::getInstance().setHeadless(true);
    std::ostringstream whole;
    whole << std::ifstream(recording, std::ios::binary).rdbuf();
    const std::string checked = whole.str();
    std::istringstream lines(checked);
    std::string unchecked;
    for (std::string line; std::getline(lines, line);) {
        if (line.find(" check ") == std::string::npos) {
            unchecked += line + '\n';
        }
    }
    const std::string name = recording.filename().string();

    Replay first;
    if (!replay(checked, name, first)) {
        std::fprintf(stderr, "the engine did not start, or the recording was refused\n");
        return 1;
    }
    const std::size_t frames = first.phases[0].size();
    std::printf("Replayed %zu frames of %s without a window in %.2f s (%.2f s of the game thread's processor "
                "time): %.3f ms a frame\n\n",
                frames, name.c_str(), first.seconds, first.cpu, first.seconds * 1000.0 / static_cast<double>(frames));
    std::printf("| phase | share | median ms |\n|---|---:|---:|\n");
    const char* const names[6] = {"input", "step", "update", "deletion", "draw (the grid)", "swap"};
    for (int k = 0; k < 6; ++k) {
        std::printf("| %s | %.0f%% | %.3f |\n", names[k], 100.0 * first.sums[k] / (first.seconds * 1000.0),
                    bench::percentile(first.phases[k], 0.5));
    }
    std::printf("\nworld hash: %s%s\n", mx::Hash::toText(first.hash).c_str(), first.matched ? "" : " (a checkpoint differed)");
    std::printf("budget: a three-minute round (5,400 frames of play) in under 8 s\n");

    // Checkpoints checked and not, in turns, so that the machine's load falls on both alike.
    const std::size_t checkpoints = static_cast<std::size_t>(std::count(checked.begin(), checked.end(), '\n') -
                                                             std::count(unchecked.begin(), unchecked.end(), '\n'));
    double wall[2] = {}, cpu[2] = {};
    for (int turn = 0; turn < 4; ++turn) {
        Replay run;
        if (!replay(turn % 2 == 0 ? checked : unchecked, name, run)) {
            return 1;
        }
        wall[turn % 2] += run.seconds / 2;
        cpu[turn % 2] += run.cpu / 2;
    }
    std::printf("\nCheckpoints, side by side (mean of two replays each, seconds)\n\n| | wall | game thread |\n|---|---:|---:|\n");
    std::printf("| %zu checkpoints checked | %.2f | %.2f |\n| without them | %.2f | %.2f |\n", checkpoints, wall[0], cpu[0],
                wall[1], cpu[1]);
    std::printf("| checked / without | %.3f | %.3f |\n", wall[0] / wall[1], cpu[0] / cpu[1]);
    return 0;
}
