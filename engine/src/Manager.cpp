#include <mx/Manager.h>

#include <mx/Object.h>
#include <mx/WorldManager.h>

namespace mx {

int Manager::startUp() {
    if (started) {
        return 0;
    }
    const int result = startUpImpl();
    started = (result == 0);
    return result;
}

void Manager::shutDown() {
    if (started) {
        shutDownImpl();
        started = false;
    }
}

void Manager::onEvent(const Event* event) const {
    // A snapshot: handlers may create objects, which then miss this event.
    const ObjectList snapshot = WorldManager::getInstance().getAllObjects();
    for (Object* object : snapshot) {
        if (!object->isRemoved()) { // taken out of the world by a handler before it
            object->eventHandler(event);
        }
    }
}

} // namespace mx
