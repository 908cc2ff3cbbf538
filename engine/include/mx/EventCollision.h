#pragma once

#include <mx/Event.h>

namespace mx {

class Object;

/// Tells an object that its box overlaps another's after the world moved.
struct EventCollision : Event {
    static constexpr const char* TYPE = "CollisionEvent"; ///< the type of collision events

    /// The event for self, which collided with other.
    EventCollision(Object* self, Object* other) : obj1(self), obj2(other) { setType(TYPE); }

    Object* obj1; ///< the object receiving this event
    Object* obj2; ///< the object it collided with
};

} // namespace mx
