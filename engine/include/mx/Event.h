#pragma once

#include <mx/TypedObj.h>

namespace mx {

/// Base of every event. Events live on the sender's stack for one delivery
/// and are handed to handlers by pointer.
struct Event : TypedObj {
    static constexpr const char* TYPE = "Event";

    Event() { setType(TYPE); }
    virtual ~Event() = default;

    Event(const Event&) = default;
    Event& operator=(const Event&) = default;
};

} // namespace mx
