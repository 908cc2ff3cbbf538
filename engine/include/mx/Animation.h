#pragma once

#include <string>

namespace mx {

class Sprite;

/// Which frame of which sprite an object shows, and for how long it has shown it.
struct Animation {
    const Sprite* sprite = nullptr; ///< not owned; null when the object has no sprite
    std::string name;               ///< the sprite's label, copied when it was attached
    int index = 0;                  ///< frame shown next, 0-based
    int slowdownCount = 0;          ///< drawn frames the current frame has been shown
};

} // namespace mx
