#include <mx/WorldManager.h>

#include <vector>

#include <mx/DisplayManager.h>
#include <mx/EventCollision.h>
#include <mx/EventOut.h>
#include <mx/Object.h>

#include "Immortal.h"

namespace mx {

WorldManager& WorldManager::getInstance() {
    static Immortal<WorldManager> instance;
    return instance.get();
}

WorldManager::WorldManager() {
    setType(TYPE);
    const DisplayManager& display = DisplayManager::getInstance();
    const auto w = static_cast<float>(display.getHorizontal());
    const auto h = static_cast<float>(display.getVertical());
    boundary = Box::centredOn(Vector(w / 2.0f, h / 2.0f), w, h);
    view = boundary;
}

int WorldManager::startUpImpl() {
    // Objects made before start-up stay registered: the world owns them like any other.
    return 0;
}

void WorldManager::removeObject(Object* object) {
    objects.remove(object);
    // The view must not follow an object that is gone.
    if (viewFollowing == object) {
        viewFollowing = nullptr;
    }
}

void WorldManager::shutDownImpl() {
    const ObjectList snapshot = objects;
    for (Object* object : snapshot) {
        delete object; // null-safe; each destructor unregisters itself
    }
    deletions.clear();
}

ObjectList WorldManager::objectsOfType(std::string type) const {
    ObjectList result;
    for (Object* object : objects) {
        if (object->getType() == type) {
            result.insert(object);
        }
    }
    return result;
}

void WorldManager::deleteMarked() {
    // The size is re-read at every step: destructors may mark more objects.
    for (std::size_t i = 0; i < deletions.size(); ++i) {
        delete deletions[i];
    }
    deletions.clear();
}

void WorldManager::update() {
    // A snapshot, so objects made by handlers during the update take no part in it.
    const ObjectList snapshot = objects;
    const std::size_t n = snapshot.size();
    std::vector<Vector> oldPositions(n);
    std::vector<char> wasOut(n);

    for (std::size_t i = 0; i < n; ++i) {
        Object* o = snapshot[i];
        oldPositions[i] = o->getPosition();
        wasOut[i] = !boxesIntersect(o->getWorldBox(), boundary);
        o->setPosition(oldPositions[i] + o->getVelocity());
    }

    collide(snapshot, oldPositions.data());

    if (viewFollowing != nullptr) {
        view = Box::centredOn(viewFollowing->getPosition(), view.getWidth(), view.getHeight());
    }

    for (std::size_t i = 0; i < n; ++i) {
        if (!wasOut[i] && !boxesIntersect(snapshot[i]->getWorldBox(), boundary)) {
            const EventOut out;
            snapshot[i]->eventHandler(&out);
        }
    }
}

void WorldManager::collide(const ObjectList& s, const Vector* oldPositions) {
    const std::size_t n = s.size();
    for (std::size_t i = 0; i + 1 < n; ++i) {
        if (s[i]->getSolidness() == INTANGIBLE) {
            continue;
        }
        // Only a colliding pair (a put-back, or its handlers) can move anything, so the
        // box is read again after each one and not for every pair.
        Box box = s[i]->getWorldBox();
        for (std::size_t j = i + 1; j < n; ++j) {
            if (s[j]->getSolidness() == INTANGIBLE || !boxesIntersect(box, s[j]->getWorldBox())) {
                continue;
            }
            if (s[i]->getSolidness() == SOLID && s[j]->getSolidness() == SOLID) {
                s[i]->setPosition(oldPositions[i]);
                s[j]->setPosition(oldPositions[j]);
                s[i]->setVelocity(Vector::ZERO);
                s[j]->setVelocity(Vector::ZERO);
            }
            const EventCollision first(s[i], s[j]);
            s[i]->eventHandler(&first);
            const EventCollision second(s[j], s[i]);
            s[j]->eventHandler(&second);
            box = s[i]->getWorldBox();
        }
    }
}

} // namespace mx
