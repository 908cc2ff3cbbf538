#pragma once

#include <string>
#include <utility>

#include <mx/Event.h>

namespace mx {

/// Sets or adds to the value of every view object whose label equals the tag.
struct EventView : Event {
    static constexpr const char* TYPE = "mx::View"; ///< the type of view events

    /// An event for the view objects labelled tag: add value (delta) or set it.
    EventView(std::string tag_, int value_, bool delta_) : tag(std::move(tag_)), value(value_), delta(delta_) {
        setType(TYPE);
    }

    /// The label of the view objects that take the event.
    [[nodiscard]] const std::string& getTag() const { return tag; }
    /// The amount.
    [[nodiscard]] int getValue() const { return value; }
    /// True: add the amount; false: replace the value with it.
    [[nodiscard]] bool getDelta() const { return delta; }

    std::string tag; ///< the label of the view objects that take the event
    int value;       ///< the amount
    bool delta; ///< true: add value; false: replace
};

} // namespace mx
