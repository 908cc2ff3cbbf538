#include <mx/WorldManager.h>

#include <algorithm>

#include <mx/DisplayManager.h>
#include <mx/EventCollision.h>
#include <mx/EventOut.h>
#include <mx/LogManager.h>
#include <mx/Object.h>

#include "CollisionGrid.h"
#include "Immortal.h"

namespace mx {

WorldManager& WorldManager::getInstance() {
    static Immortal<WorldManager> instance;
    return instance.get();
}

WorldManager::WorldManager() : grid(std::make_unique<CollisionGrid>()) {
    setType(TYPE);
    const DisplayManager& display = DisplayManager::getInstance();
    const auto w = static_cast<float>(display.getHorizontal());
    const auto h = static_cast<float>(display.getVertical());
    boundary = Box::centredOn(Vector(w / 2.0f, h / 2.0f), w, h);
    view = boundary;
}

WorldManager::~WorldManager() = default;

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
    paused = false;
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

int WorldManager::markByType(std::span<const std::string_view> types, bool matching) {
    int marked = 0;
    for (Object* object : objects) {
        const bool listed = std::find(types.begin(), types.end(), object->getType()) != types.end();
        if (listed == matching) {
            markForDelete(object);
            ++marked;
        }
    }
    return marked;
}

bool WorldManager::typeAgrees(const char* operation, std::string_view type, const std::type_info& cls,
                              bool (*isA)(const Object*)) const {
    for (const Object* object : objects) {
        const bool carries = object->getType() == type;
        if (carries && !isA(object)) {
            LogManager::getInstance().writeLog("ERROR: WorldManager::%s(): Objects of another class carry the type '%.*s' too",
                                               operation, static_cast<int>(type.size()), type.data());
            return false;
        }
        if (!carries && typeid(*object) == cls) {
            LogManager::getInstance().writeLog("ERROR: WorldManager::%s(): Objects of the class of type '%.*s' carry "
                                               "another type: '%s'", operation, static_cast<int>(type.size()),
                                               type.data(), object->getType().c_str());
            return false;
        }
    }
    return true;
}

void WorldManager::deleteMarked() {
    // The size is re-read at every step: destructors may mark more objects.
    for (std::size_t i = 0; i < deletions.size(); ++i) {
        delete deletions[i];
    }
    deletions.clear();
}

void WorldManager::update() {
    if (paused) {
        return;
    }
    // A snapshot, so objects made by handlers during the update take no part in it.
    moving.assign(objects.begin(), objects.end());
    const std::size_t n = moving.size();
    oldPositions.resize(n);
    wasOut.resize(n);

    for (std::size_t i = 0; i < n; ++i) {
        Object* o = moving[i];
        oldPositions[i] = o->getPosition();
        wasOut[i] = !boxesIntersect(o->getWorldBox(), boundary);
        o->setPosition(oldPositions[i] + o->getVelocity());
    }

    collide();

    if (viewFollowing != nullptr) {
        view = Box::centredOn(viewFollowing->getPosition(), view.getWidth(), view.getHeight());
    }

    for (std::size_t i = 0; i < n; ++i) {
        if (!wasOut[i] && !boxesIntersect(moving[i]->getWorldBox(), boundary)) {
            const EventOut out;
            moving[i]->eventHandler(&out);
        }
    }
}

void WorldManager::indexForCollisions() {
    // The usual box size sets the grid's cells; a few huge boxes must not inflate them.
    float sizes = 0.0f;
    std::size_t counted = 0;
    for (std::size_t i = 0; i < moving.size(); ++i) {
        Object* o = moving[i];
        o->collisionSlot = static_cast<std::int32_t>(i); // even intangible ones: they may change
        if (o->getSolidness() != INTANGIBLE) {
            const Box b = o->getBox();
            const float size = std::max(b.getWidth(), b.getHeight());
            if (size > 0.0f && size < 64.0f) {
                sizes += size;
                ++counted;
            }
        }
    }
    grid->reset(moving.size(), counted > 0 ? sizes / static_cast<float>(counted) : 1.0f);
    for (std::size_t i = 0; i < moving.size(); ++i) {
        if (moving[i]->getSolidness() != INTANGIBLE) {
            grid->place(static_cast<std::uint32_t>(i), moving[i]->getWorldBox(), true);
        }
    }
}

void WorldManager::objectChanged(const Object& o) {
    const auto slot = static_cast<std::size_t>(o.collisionSlot);
    // Objects before the current one have met all their partners already.
    if (slot < colliding) {
        return;
    }
    ++changes;
    if (slot > colliding) {
        grid->place(static_cast<std::uint32_t>(slot), o.getWorldBox(), o.getSolidness() != INTANGIBLE);
    }
}

void WorldManager::collide() {
    indexForCollisions();
    const std::size_t n = moving.size();
    for (colliding = 0; colliding + 1 < n; ++colliding) {
        const std::size_t i = colliding;
        Object* a = moving[i];
        if (a->getSolidness() == INTANGIBLE) {
            continue;
        }
        // Only a colliding pair (a put-back, or its handlers) can change anything, so the
        // box is read again after each one and not for every pair.
        Box box = a->getWorldBox();
        grid->candidates(box, static_cast<std::uint32_t>(i), nearby);
        for (std::size_t k = 0; k < nearby.size(); ++k) {
            const std::uint32_t j = nearby[k];
            Object* b = moving[j];
            if (b->getSolidness() == INTANGIBLE) {
                continue;
            }
            const Box otherBox = b->getWorldBox();
            if (!boxesIntersect(box, otherBox)) {
                continue;
            }
            const std::uint64_t changesBefore = changes;
            // The side is read from where they met, before a put-back parts them.
            const Vector normal = contactNormal(box, a->getPosition() - oldPositions[i], otherBox,
                                                b->getPosition() - oldPositions[j]);
            if (a->getSolidness() == SOLID && b->getSolidness() == SOLID) {
                a->setPosition(oldPositions[i]);
                b->setPosition(oldPositions[j]);
                a->setVelocity(Vector::ZERO);
                b->setVelocity(Vector::ZERO);
            }
            const EventCollision first(a, b, oldPositions[i], normal);
            a->eventHandler(&first);
            const EventCollision second(b, a, oldPositions[j], Vector::ZERO - normal);
            b->eventHandler(&second);
            box = a->getWorldBox();
            if (changes != changesBefore) {
                // Something moved: look again for the partners after this one.
                grid->candidates(box, j, nearby);
                k = static_cast<std::size_t>(-1);
            }
        }
    }
    for (Object* o : moving) {
        o->collisionSlot = -1;
    }
    colliding = 0;
}

} // namespace mx
