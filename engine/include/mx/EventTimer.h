#pragma once

#include <string>
#include <utility>

#include <mx/Event.h>

namespace mx {

/// Tells an object that a timer it started (Object::startTimer) has run its frames. Sent
/// to that object alone, in the step phase, just before the frame's step event.
struct EventTimer : Event {
    static constexpr const char* TYPE = "TimerEvent"; ///< the type of timer events

    /// The event of the timer named name, firing for the count-th time.
    EventTimer(std::string name_, int count_) : name(std::move(name_)), count(count_) { setType(TYPE); }

    /// The name the object gave the timer.
    [[nodiscard]] const std::string& getName() const { return name; }
    /// How many times the timer has fired, this time included: 1 for a timer that fires once.
    [[nodiscard]] int getCount() const { return count; }

    std::string name; ///< the name the object gave the timer
    int count;        ///< how many times it has fired, this time included
};

} // namespace mx
