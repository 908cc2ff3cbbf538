#include <mx/EventStep.h>

#include <mx/GameManager.h>

namespace mx {

EventStep::EventStep() {
    setType(TYPE);
    const GameManager& game = GameManager::getInstance();
    frameSeconds = static_cast<float>(game.getFrameTime() / 1000.0);
    stepCount = static_cast<std::int32_t>(game.getStepCount());
}

} // namespace mx
