#include <mx/Sound.h>

#include <algorithm>
#include <vector>

#include <SFML/System/Err.hpp>

#include <mx/LogManager.h>

#include "DataFile.h"
#include "SoundCheck.h"
#include "Volume.h"

namespace mx {

namespace {

bool playing(const sf::Sound& sound) {
    return sound.getStatus() == sf::SoundSource::Status::Playing;
}

} // namespace

bool Sound::loadFromFile(const std::filesystem::path& file) {
    voices.clear();
    // Checked and decoded from one reading of the file: a damaged one never reaches a decoder
    // that would crash on it, nor swaps itself in between.
    std::vector<unsigned char> bytes;
    auto problem = readSoundFile(file, bytes);
    if (!problem) {
        problem = decodeSound(bytes, buffer);
    }
    if (isMissing(problem)) {
        // A missing sound is not the log's business: SFML's error stream has always said it.
        sf::err() << "Failed to open sound file '" << file.string() << "': it does not exist" << std::endl;
        return false;
    }
    if (problem) {
        LogManager::getInstance().writeLog("ERROR: Sound::loadFromFile(): Cannot use '%s': it %s", file.string().c_str(),
                                           problem->c_str());
        return false;
    }
    voices.push_back(Voice{std::make_unique<sf::Sound>(buffer), 0});
    applyVolume();
    voices.front().sound->setLooping(looping);
    return true;
}

Sound::Voice& Sound::nextVoice() {
    if (voiceCount == 1) {
        return voices.front(); // SFML plays it again from the start
    }
    for (Voice& voice : voices) {
        if (!playing(*voice.sound)) {
            return voice;
        }
    }
    if (static_cast<int>(voices.size()) < voiceCount) {
        Voice& made = voices.emplace_back(Voice{std::make_unique<sf::Sound>(buffer), 0});
        made.sound->setLooping(looping);
        applyVolume();
        return made;
    }
    return *std::min_element(voices.begin(), voices.end(),
                             [](const Voice& a, const Voice& b) { return a.started < b.started; });
}

void Sound::play() {
    if (voices.empty()) {
        return;
    }
    Voice& voice = nextVoice();
    voice.started = ++plays;
    voice.sound->play(); // one still playing, cut off, starts again from the beginning
}

void Sound::stop() {
    for (Voice& voice : voices) {
        voice.sound->stop();
    }
}

void Sound::setLooping(bool on) {
    looping = on;
    for (Voice& voice : voices) {
        voice.sound->setLooping(on);
    }
}

int Sound::getPlayingCount() const {
    return static_cast<int>(std::count_if(voices.begin(), voices.end(), [](const Voice& v) { return playing(*v.sound); }));
}

void Sound::setVoiceCount(int count) {
    voiceCount = std::clamp(count, 1, MAX_VOICES);
    if (static_cast<int>(voices.size()) <= voiceCount) {
        return;
    }
    // As when the pool is full: the plays started longest ago are cut, stopped as they are destroyed.
    std::stable_sort(voices.begin(), voices.end(), [](const Voice& a, const Voice& b) {
        const bool aPlays = playing(*a.sound);
        const bool bPlays = playing(*b.sound);
        return aPlays != bPlays ? aPlays : a.started > b.started;
    });
    voices.resize(static_cast<std::size_t>(voiceCount));
}

void Sound::setVolume(float v) {
    volume = clampVolume(v);
    applyVolume();
}

sf::Sound* Sound::getVoice(int index) const {
    return index >= 0 && index < static_cast<int>(voices.size()) ? voices[static_cast<std::size_t>(index)].sound.get()
                                                                  : nullptr;
}

void Sound::applyVolume() {
    const float heard = heardVolume(volume);
    for (Voice& voice : voices) {
        voice.sound->setVolume(heard);
    }
}

} // namespace mx
