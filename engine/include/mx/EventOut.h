#pragma once

#include <mx/Event.h>

namespace mx {

/// Tells an object that it has just left the world's boundary.
struct EventOut : Event {
    static constexpr const char* TYPE = "OutEvent"; ///< the type of out events

    /// An out event.
    EventOut() { setType(TYPE); }
};

} // namespace mx
