#pragma once

#include <mx/TypedObj.h>

namespace mx {

/// Base of every event. Events live on the sender's stack for one delivery
/// and are handed to handlers by pointer.
struct Event : TypedObj {
    static constexpr const char* TYPE = "Event"; ///< the type of a plain event

    /// An event of type TYPE; derived events set their own.
    Event() { setType(TYPE); }
    virtual ~Event() = default;

    /// Events are plain values.
    Event(const Event&) = default;
    /// Events are plain values.
    Event& operator=(const Event&) = default;
};

} // namespace mx
