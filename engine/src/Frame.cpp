#include <mx/Frame.h>

#include <mx/DisplayManager.h>

namespace mx {

std::string_view Frame::getRow(int r) const {
    if (r < 0 || width <= 0) {
        return {};
    }
    // 64-bit: r × width may exceed an int for a large header width.
    const auto start = static_cast<unsigned long long>(r) * static_cast<unsigned long long>(width);
    if (start >= frameStr.size()) {
        return {};
    }
    return std::string_view(frameStr).substr(static_cast<std::size_t>(start), static_cast<std::size_t>(width));
}

int drawFrame(const Frame& frame, Vector position, sf::Color color, char transparent) {
    const int height = frame.getHeight();
    if (height < 1) {
        return 0;
    }
    DisplayManager& display = DisplayManager::getInstance();
    const auto h = static_cast<float>(height);
    for (int r = 0; r < height; ++r) {
        const std::string_view row = frame.getRow(r);
        if (row.empty()) {
            break; // rows only get later in the text: the rest are empty too
        }
        const Vector rowPosition = position + Vector::UP * (h * 0.5f) + Vector::DOWN * static_cast<float>(r);
        display.drawString(rowPosition, std::string(row), CENTER_JUSTIFIED, color, transparent);
    }
    return 0;
}

} // namespace mx
