#pragma once

#include <mx/Event.h>

class Bird;

/// A nest has collected a bird of its colour; the bird is destroyed after the update.
struct EventBirdCollected : mx::Event {
    static constexpr const char* TYPE = "BirdCollectedEvent";

    explicit EventBirdCollected(Bird* collected) : bird(collected) { setType(TYPE); }

    [[nodiscard]] Bird* getBird() const { return bird; }

    Bird* bird; ///< still alive while the event is delivered
};
