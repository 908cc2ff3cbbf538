#include "NestCounter.h"

#include <mx/EventView.h>
#include <mx/WorldManager.h>

#include "Bird.h"
#include "EventBirdCollected.h"

NestCounter::NestCounter(int birdColor_, mx::ViewObjectLocation location) : birdColor(birdColor_) {
    setViewString("Birds");
    setLocation(location);
    if (birdColor >= 0 && birdColor < 4) {
        setColor(BIRD_COLORS[birdColor]);
    }
}

int NestCounter::eventHandler(const mx::Event* event) {
    if (event->getType() != EventBirdCollected::TYPE) {
        return 0;
    }
    const Bird* bird = static_cast<const EventBirdCollected*>(event)->bird;
    if (bird->getColor() != birdColor) {
        return 0;
    }
    setValue(getValue() + 1);
    const mx::EventView points(SCORE_EVENT_TAG, BIRD_POINTS, true);
    mx::WorldManager::getInstance().onEvent(&points);
    return 1;
}
