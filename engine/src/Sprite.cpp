#include <mx/Sprite.h>

#include <algorithm>

namespace mx {

Sprite::Sprite(int maxFrameCount_)
    : maxFrameCount(std::max(0, maxFrameCount_)), frames(static_cast<std::size_t>(maxFrameCount)) {}

void Sprite::addFrame(const Frame& frame) {
    if (frameCount < maxFrameCount) {
        frames[static_cast<std::size_t>(frameCount)] = frame;
        ++frameCount;
    }
}

} // namespace mx
