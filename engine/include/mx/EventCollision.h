#pragma once

#include <mx/Box.h>
#include <mx/Event.h>
#include <mx/Vector.h>

namespace mx {

class Object;

/// Tells an object that its box overlaps another's after the world moved.
///
/// Besides the two objects it says how they met, so that a handler can respond: which side
/// of the other object's box was hit (normal) and where the receiver was before this
/// update moved it (positionBefore), even when a handler has moved it since.
struct EventCollision : Event {
    static constexpr const char* TYPE = "CollisionEvent"; ///< the type of collision events

    /// The event for self, which collided with other; it was at self's present position
    /// before the move (ZERO when self is null), and no side is told (normal ZERO).
    EventCollision(Object* self, Object* other);

    /// The event for self, which collided with other: self was at selfBefore before this
    /// update moved it, and hit the side of other's box whose outward direction is hitNormal.
    EventCollision(Object* self, Object* other, Vector selfBefore, Vector hitNormal)
        : obj1(self), obj2(other), normal(hitNormal), positionBefore(selfBefore) {
        setType(TYPE);
    }

    Object* obj1; ///< the object receiving this event
    Object* obj2; ///< the object it collided with
    /// The side of obj2's box that obj1 ran into, as that side's outward direction:
    /// Vector::LEFT for obj2's left side, Vector::RIGHT, Vector::UP for its top,
    /// Vector::DOWN for its bottom. Vector::ZERO when no side can be told. Bounce a
    /// velocity off it with reflect().
    Vector normal;
    /// Where obj1 was before this update moved it.
    Vector positionBefore;
};

/// Which side of one box a moving box ran into, as that side's outward direction (see
/// EventCollision::normal). mover and other are the boxes as they overlap now; moverMoved
/// and otherMoved are how far each has moved since it did not. The side is the one
/// crossed last as the boxes closed in (a box meeting a corner exactly hits the top or
/// bottom); boxes that overlapped already before they moved are pushed apart along the
/// axis they overlap least on, and boxes with the same centre there give ZERO.
[[nodiscard]] Vector contactNormal(const Box& mover, Vector moverMoved, const Box& other, Vector otherMoved);

} // namespace mx
