// libFuzzer target: whatever an input file holds, reading it ends with a result and a bounded
// allocation, and replaying what was accepted hands its events out and checks its checkpoints
// without fault. Inputs are read from memory, as the reader reads any stream.
#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>

#include <mx/GameManager.h>
#include <mx/InputManager.h>
#include <mx/Object.h>
#include <mx/WorldManager.h>
#include <mx/testing/TestHooks.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Refusals are logged by the thousand: keep them quiet.
    static const bool ready = std::freopen("/dev/null", "w", stdout) && mx::WorldManager::getInstance().startUp() == 0;
    if (!ready) return 0;
    static mx::Object* const receiver = new mx::Object; // the events' audience; the world owns it
    (void)receiver;
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    mx::InputManager& input = mx::InputManager::getInstance();
    if (input.startReplayFromStream(in, "fuzz") == 0) {
        // Every frame that has events, and the end; an empty tail of many frames adds nothing.
        const std::uint32_t frames = std::min<std::uint32_t>(input.getReplayFrameCount(), 2000);
        for (std::uint32_t f = 0; f <= frames; ++f) {
            input.getInput();
            mx::TestHooks::endInputFrame();
        }
        input.stopReplay();
        mx::GameManager::getInstance().setGameOver(false);
    }
    return 0;
}
