#include <mx/Music.h>

#include <algorithm>

#include "Volume.h"

namespace mx {

bool Music::openFromFile(const std::filesystem::path& file) {
    auto opened = std::make_unique<sf::Music>();
    if (!opened->openFromFile(file)) {
        return false;
    }
    music = std::move(opened);
    music->setLooping(looping);
    applyVolume();
    return true;
}

void Music::play() {
    if (music) {
        music->play();
    }
}

void Music::pause() {
    if (music) {
        music->pause();
    }
}

void Music::stop() {
    if (music) {
        music->stop();
    }
}

void Music::setLooping(bool on) {
    looping = on;
    if (music) {
        music->setLooping(on);
    }
}

bool Music::isPlaying() const {
    return music && music->getStatus() == sf::SoundSource::Status::Playing;
}

void Music::setVolume(float v) {
    volume = clampVolume(v);
    applyVolume();
}

void Music::applyVolume() {
    if (music) {
        music->setVolume(heardVolume(volume));
    }
}

} // namespace mx
