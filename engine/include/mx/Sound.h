#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <utility>

#include <SFML/Audio/Sound.hpp>
#include <SFML/Audio/SoundBuffer.hpp>

namespace mx {

/// One sound effect held in memory under a label; owned by the resource manager, which
/// hands out plain pointers to it (ResourceManager::getSound).
class Sound {
public:
    Sound() = default;
    /// The playable sound goes first: it refers to the buffer (and stops with it).
    ~Sound() { sound.reset(); }

    Sound(const Sound&) = delete;
    Sound& operator=(const Sound&) = delete;

    /// Decodes a file into the buffer and binds a playable sound to it; false when
    /// the file is missing or no format SFML decodes.
    [[nodiscard]] bool loadFromFile(const std::filesystem::path& file);

    /// Plays the sound from its start (again from the start when it is playing);
    /// does nothing until a file has loaded.
    void play();
    /// Stops the sound; does nothing when it is not playing.
    void stop();
    /// Whether play repeats the sound until stop (false at first).
    void setLooping(bool looping);
    /// Whether the sound repeats until stopped.
    [[nodiscard]] bool isLooping() const;
    /// Whether the sound is playing now.
    [[nodiscard]] bool isPlaying() const;

    /// The SFML sound, for what the calls above do not offer (volume, pitch...); null until
    /// a file has loaded.
    [[nodiscard]] sf::Sound* getSound() const { return sound.get(); }
    /// The decoded samples.
    [[nodiscard]] const sf::SoundBuffer& getBuffer() const { return buffer; }
    /// The name the resource manager finds it by.
    [[nodiscard]] const std::string& getLabel() const { return label; }
    /// Names it.
    void setLabel(std::string l) { label = std::move(l); }

private:
    std::unique_ptr<sf::Sound> sound;
    sf::SoundBuffer buffer;
    std::string label;
};

} // namespace mx
