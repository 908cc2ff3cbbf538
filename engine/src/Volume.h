#pragma once

#include <algorithm>
#include <cmath>

#include <mx/ResourceManager.h>

namespace mx {

/// A volume brought into 0 to 100; one that is no number is the full 100.
inline float clampVolume(float volume) {
    return std::isfinite(volume) ? std::clamp(volume, 0.0f, 100.0f) : 100.0f;
}

/// What a sound or music of its own volume is heard at: that times the master volume.
inline float heardVolume(float own) {
    return own * ResourceManager::getInstance().getMasterVolume() / 100.0f;
}

} // namespace mx
