#pragma once

#include <string>
#include <utility>

#include <mx/Event.h>

namespace mx {

/// Sets or adds to the value of every view object whose label equals the tag.
struct EventView : Event {
    static constexpr const char* TYPE = "mx::View";

    EventView(std::string tag_, int value_, bool delta_) : tag(std::move(tag_)), value(value_), delta(delta_) {
        setType(TYPE);
    }

    [[nodiscard]] const std::string& getTag() const { return tag; }
    [[nodiscard]] int getValue() const { return value; }
    [[nodiscard]] bool getDelta() const { return delta; }

    std::string tag;
    int value;
    bool delta; ///< true: add value; false: replace
};

} // namespace mx
