#pragma once

#include <cstdint>

#include <mx/Event.h>

namespace mx {

/// Sent to every object once per frame, before the world moves.
struct EventStep : Event {
    static constexpr const char* TYPE = "StepEvent"; ///< the type of step events

    /// Reads the frame time and step count from the game manager.
    EventStep();

    float frameSeconds;     ///< the frame period in seconds (0.033 by default)
    std::int32_t stepCount; ///< frames completed before this one
};

} // namespace mx
