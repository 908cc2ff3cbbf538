#include <mx/Sound.h>

namespace mx {

bool Sound::loadFromFile(const std::filesystem::path& file) {
    sound.reset();
    if (!buffer.loadFromFile(file)) {
        return false;
    }
    sound = std::make_unique<sf::Sound>(buffer);
    return true;
}

} // namespace mx
