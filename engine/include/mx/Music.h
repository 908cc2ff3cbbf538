#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <SFML/Audio/Music.hpp>

namespace mx {

/// A tune streamed from its file while it plays, rather than held in memory: background
/// music. Owned by the resource manager (ResourceManager::loadMusic), which hands out plain
/// pointers to it. It loops unless told not to, and is heard at its volume times the master
/// volume (ResourceManager::setMasterVolume). The file is read whole when opened (and
/// checked, so that a damaged one is refused rather than crash a decoder): it may change or
/// go afterwards.
class Music {
public:
    Music() = default;

    Music(const Music&) = delete;
    Music& operator=(const Music&) = delete;

    /// Opens a file to stream (any format SFML decodes: OGG, FLAC, WAV, MP3); false, with a
    /// log line naming it and why, when it is missing, no regular file (a FIFO is never
    /// opened), damaged or in no such format.
    [[nodiscard]] bool openFromFile(const std::filesystem::path& file);

    /// Plays from where it was paused, or from the start; does nothing until a file is open.
    void play();
    /// Stops where it is; play goes on from there.
    void pause();
    /// Stops and goes back to the start.
    void stop();
    /// Whether it starts again at its end (true at first).
    void setLooping(bool looping);
    /// Whether it starts again at its end.
    [[nodiscard]] bool isLooping() const { return looping; }
    /// Whether it is playing now.
    [[nodiscard]] bool isPlaying() const;

    /// Its volume, 0 (silent) to 100 (as recorded, the default); other numbers are brought
    /// into that range. It is heard at this times the master volume, over 100.
    void setVolume(float volume);
    /// Its own volume, 0 to 100.
    [[nodiscard]] float getVolume() const { return volume; }

    /// The SFML stream, for what these calls do not offer (pitch, position in the tune...);
    /// null until a file is open.
    [[nodiscard]] sf::Music* getMusic() const { return music.get(); }
    /// The name the resource manager finds it by.
    [[nodiscard]] const std::string& getLabel() const { return label; }
    /// Names it.
    void setLabel(std::string l) { label = std::move(l); }

private:
    friend class ResourceManager;

    /// Gives the stream this music's volume times the master volume.
    void applyVolume();

    std::vector<unsigned char> bytes; ///< the file, which the stream reads: it outlives the stream
    std::unique_ptr<sf::Music> music;
    std::string label;
    float volume = 100.0f;
    bool looping = true;
};

} // namespace mx
