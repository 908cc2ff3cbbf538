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

void Sound::play() {
    if (sound) {
        sound->play();
    }
}

void Sound::stop() {
    if (sound) {
        sound->stop();
    }
}

void Sound::setLooping(bool looping) {
    if (sound) {
        sound->setLooping(looping);
    }
}

bool Sound::isLooping() const {
    return sound && sound->isLooping();
}

bool Sound::isPlaying() const {
    return sound && sound->getStatus() == sf::SoundSource::Status::Playing;
}

} // namespace mx
