// libFuzzer target: whatever a sprite file holds, loading ends with a result, and drawing
// and animating what loaded reads nothing beyond the frames' text. Inputs are read from
// memory, as the loader reads any stream.
#include <cstdio>
#include <sstream>
#include <string>

#include <mx/Object.h>
#include <mx/ResourceManager.h>
#include <mx/WorldManager.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Log lines (refused drawing, bad headers) come by the thousand: keep them quiet.
    static const bool ready = std::freopen("/dev/null", "w", stdout) && mx::WorldManager::getInstance().startUp() == 0;
    if (!ready) return 0;
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    mx::ResourceManager& resources = mx::ResourceManager::getInstance();
    (void)resources.startUp();
    if (resources.loadSpriteFromStream(in, "fuzz") == 0) {
        const mx::Sprite* sprite = resources.getSprite("fuzz");
        mx::Object object;
        object.setSprite(sprite);
        for (int i = 0; i < 5; ++i) (void)object.draw();
        for (int f = 0; f < sprite->getFrameCount(); ++f) {
            const mx::Frame& frame = sprite->getFrame(f);
            for (int r = 0; r < frame.getHeight() && !frame.getRow(r).empty(); ++r) {
                volatile char first = frame.getRow(r).front();
                (void)first;
            }
        }
    }
    resources.shutDown();
    return 0;
}
