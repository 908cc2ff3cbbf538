#include "Timer.h"

#include <mx/EventStep.h>
#include <mx/WorldManager.h>

#include "EventGameOver.h"
#include "Menu.h"

Timer::Timer() {
    setValue(GAME_SECONDS);
    setLocation(mx::TOP_CENTER);
    setDrawValue(false);
    setViewString(formatTime());
}

int Timer::eventHandler(const mx::Event* event) {
    const std::string& type = event->getType();
    if (type == EventGameOver::TYPE) {
        stopped = true;
        return 1;
    }
    if (type != mx::EventStep::TYPE || stopped) {
        return 0;
    }
    if (++stepsThisSecond != STEPS_PER_SECOND) {
        return 1;
    }
    stepsThisSecond = 0;
    setValue(getValue() - 1);
    setViewString(formatTime());
    if (getValue() == 0) {
        const mx::ObjectList menus = mx::WorldManager::getInstance().objectsOfType(Menu::TYPE);
        if (!menus.isEmpty()) {
            if (auto* menu = dynamic_cast<Menu*>(menus[0])) {
                menu->gameOver(); // whose "GameOver" event stops this timer at 0:00
            }
        }
    }
    return 1;
}

std::string Timer::formatTime() const {
    const int t = getValue();
    const int minutes = t / 60;
    const int seconds = t - 60 * minutes;
    return std::to_string(minutes) + ":" + (seconds < 10 ? "0" : "") + std::to_string(seconds);
}
