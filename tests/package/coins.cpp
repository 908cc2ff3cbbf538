// Names its window and its log, brings no font (the engine finds its own where the package
// put it), runs three frames and says so.
#include <cstdio>

#include <mx/EventStep.h>
#include <mx/DisplayManager.h>
#include <mx/GameManager.h>
#include <mx/LogManager.h>
#include <mx/Object.h>
#include <mx/ResourceManager.h>
#include <mx/Sound.h>

#include "Sound.h"

namespace {

/// Ends the game after its third frame.
class Quitter : public mx::Object {
public:
    int eventHandler(const mx::Event* event) override {
        if (event->getType() == mx::EventStep::TYPE && ++steps == 3) {
            mx::GameManager::getInstance().setGameOver(true);
        }
        return 0;
    }

private:
    int steps = 0;
};

} // namespace

int main() {
    mx::DisplayManager::getInstance().setWindowTitle("Coins");
    mx::LogManager::getInstance().setLogFile("coins.log");
    mx::GameManager& game = mx::GameManager::getInstance();
    if (game.startUp() != 0) {
        return 1;
    }
    const mx::Sound* chime = mx::ResourceManager::getInstance().getSound(coins::CHIME);
    new Quitter;
    game.run();
    std::printf("coins: %u frames, %s chime\n", game.getStepCount(), chime != nullptr ? "a" : "no");
    game.shutDown();
    return 0;
}
