#include "InputManager.h"

#include "DisplayManager.h"
#include "LogManager.h"

namespace mx {

InputManager& InputManager::getInstance() {
    static Immortal<InputManager> instance;
    return instance.get();
}

int InputManager::startUpImpl() {
    if (!DisplayManager::getInstance().isStarted()) {
        LogManager::getInstance().writeLog("Cannot start input manager until display manager has been started");
        return 1;
    }
    return 0;
}

void InputManager::getInput() {}

} // namespace mx
