#include "ScoreCounter.h"

#include <mx/EventView.h>
#include <mx/ResourceManager.h>
#include <mx/WorldManager.h>

#include "NestCounter.h"

ScoreCounter::ScoreCounter() {
    setType(TYPE);
    setLocation(mx::BOTTOM_CENTER);
    setViewString("Score:");
    setValue(0);
    hootSound = mx::ResourceManager::getInstance().getSound("Hoot");
}

int ScoreCounter::eventHandler(const mx::Event* event) {
    if (event->getType() != mx::EventView::TYPE) {
        return 0;
    }
    const auto* view = static_cast<const mx::EventView*>(event);
    if (view->tag != SCORE_EVENT_TAG) {
        return 0;
    }
    if (!view->delta) {
        setValue(view->value);
        return 1;
    }
    setValue(getValue() + view->value);
    if (hootSound != nullptr && hootSound->getSound() != nullptr) {
        // Playing again restarts a hoot that is still sounding.
        hootSound->setLooping(false);
        hootSound->play();
        ++hootCount;
    }
    return 1;
}

std::optional<int> ScoreCounter::findValue() {
    const mx::ObjectList counters = mx::WorldManager::getInstance().objectsOfType(TYPE);
    if (const auto* counter = counters.isEmpty() ? nullptr : dynamic_cast<const mx::ViewObject*>(counters[0])) {
        return counter->getValue();
    }
    return std::nullopt;
}
