#include "DisplayManager.h"

#include "LogManager.h"

namespace mx {

DisplayManager& DisplayManager::getInstance() {
    static Immortal<DisplayManager> instance;
    return instance.get();
}

void DisplayManager::swapBuffers() {
    if (!isStarted()) {
        LogManager::getInstance().writeLog(
            "ERROR: DisplayManager::swapBuffers(): Cannot swap buffers before display manager has been started");
    }
}

} // namespace mx
