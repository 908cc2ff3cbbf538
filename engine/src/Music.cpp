#include <mx/Music.h>

#include <algorithm>

#include <mx/LogManager.h>

#include "SoundCheck.h"
#include "Volume.h"

namespace mx {

bool Music::openFromFile(const std::filesystem::path& file) {
    // Streamed from the bytes that were checked, so a damaged file never reaches a decoder
    // that would crash on it.
    std::vector<unsigned char> read;
    auto opened = std::make_unique<sf::Music>();
    auto problem = readSoundFile(file, read);
    if (!problem && !opened->openFromMemory(read.data(), read.size())) {
        problem = "is in no sound format SFML decodes";
    }
    if (problem) {
        LogManager::getInstance().writeLog("ERROR: Music::openFromFile(): Cannot use '%s': it %s", file.string().c_str(),
                                           problem->c_str());
        return false;
    }
    music.reset(); // the old stream reads the old bytes until it is gone
    bytes = std::move(read); // a vector's move keeps its storage where the stream reads it
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
