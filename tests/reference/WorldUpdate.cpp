#include "WorldUpdate.h"

#include <vector>

#include <mx/EventCollision.h>
#include <mx/EventOut.h>
#include <mx/Object.h>

namespace reference {

using namespace mx;

namespace {

void collide(const ObjectList& s, const Vector* oldPositions) {
    const std::size_t n = s.size();
    for (std::size_t i = 0; i + 1 < n; ++i) {
        if (s[i]->getSolidness() == INTANGIBLE) {
            continue;
        }
        Box box = s[i]->getWorldBox();
        for (std::size_t j = i + 1; j < n; ++j) {
            if (s[j]->getSolidness() == INTANGIBLE || !boxesIntersect(box, s[j]->getWorldBox())) {
                continue;
            }
            // The side hit and the positions before the move, which the events carry since.
            const Vector normal = contactNormal(box, s[i]->getPosition() - oldPositions[i], s[j]->getWorldBox(),
                                                s[j]->getPosition() - oldPositions[j]);
            if (s[i]->getSolidness() == SOLID && s[j]->getSolidness() == SOLID) {
                s[i]->setPosition(oldPositions[i]);
                s[j]->setPosition(oldPositions[j]);
                s[i]->setVelocity(Vector::ZERO);
                s[j]->setVelocity(Vector::ZERO);
            }
            const EventCollision first(s[i], s[j], oldPositions[i], normal);
            s[i]->eventHandler(&first);
            const EventCollision second(s[j], s[i], oldPositions[j], Vector::ZERO - normal);
            s[j]->eventHandler(&second);
            box = s[i]->getWorldBox();
        }
    }
}

} // namespace

void updateWorld(WorldManager& world) {
    const ObjectList snapshot = world.getAllObjects();
    const Box boundary = world.getBoundary();
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

    if (Object* followed = world.getViewFollowing()) {
        const Box view = world.getView();
        world.setView(Box::centredOn(followed->getPosition(), view.getWidth(), view.getHeight()));
    }

    for (std::size_t i = 0; i < n; ++i) {
        if (!wasOut[i] && !boxesIntersect(snapshot[i]->getWorldBox(), boundary)) {
            const EventOut out;
            snapshot[i]->eventHandler(&out);
        }
    }
}

} // namespace reference
