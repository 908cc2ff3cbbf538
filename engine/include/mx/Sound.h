#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <SFML/Audio/Sound.hpp>
#include <SFML/Audio/SoundBuffer.hpp>

namespace mx {

/// One sound effect held in memory under a label; owned by the resource manager, which
/// hands out plain pointers to it (ResourceManager::getSound).
///
/// A sound plays on a small pool of voices, so that plays of it overlap: a second shot does
/// not cut the first one's sound off. When every voice is busy, the one started longest ago
/// is cut and starts again. Its volume is its own times the master volume
/// (ResourceManager::setMasterVolume).
class Sound {
public:
    /// The most voices a sound may have.
    static constexpr int MAX_VOICES = 16;
    /// The voices of a sound until setVoiceCount says otherwise.
    static constexpr int DEFAULT_VOICES = 4;

    Sound() = default;
    /// The playable voices go first: they refer to the buffer (and stop with it).
    ~Sound() { voices.clear(); }

    Sound(const Sound&) = delete;
    Sound& operator=(const Sound&) = delete;

    /// Decodes a file into the buffer and binds a voice to it. False, with a log line naming
    /// the file and why, when it is a folder, a FIFO or a device (never opened), damaged or
    /// in no format SFML decodes; false when it is missing, which SFML's error stream tells.
    [[nodiscard]] bool loadFromFile(const std::filesystem::path& file);

    /// Plays the sound from its start on a voice of its own: one that is free, or, when all
    /// are busy, the one started longest ago, cut off. With one voice, a play while playing
    /// starts the sound again. Does nothing until a file has loaded.
    void play();
    /// Stops every voice; does nothing when none is playing.
    void stop();
    /// Whether plays repeat the sound until stop (false at first): every voice, now and later.
    void setLooping(bool looping);
    /// Whether the sound repeats until stopped.
    [[nodiscard]] bool isLooping() const { return looping; }
    /// Whether a voice of the sound is playing now.
    [[nodiscard]] bool isPlaying() const { return getPlayingCount() > 0; }
    /// How many voices are playing now.
    [[nodiscard]] int getPlayingCount() const;

    /// How many plays may sound at once, 1 to MAX_VOICES (other numbers are brought into that
    /// range). Fewer than are playing stops those started longest ago. Voices kept by pointer
    /// (getVoice) may be gone after it.
    void setVoiceCount(int count);
    /// How many plays may sound at once (DEFAULT_VOICES at first).
    [[nodiscard]] int getVoiceCount() const { return voiceCount; }

    /// The sound's volume, 0 (silent) to 100 (as recorded, the default); other numbers are
    /// brought into that range. It is heard at this times the master volume, over 100.
    void setVolume(float volume);
    /// The sound's own volume, 0 to 100.
    [[nodiscard]] float getVolume() const { return volume; }

    /// The first voice, for what the calls above do not offer (pitch, position...); null until
    /// a file has loaded. Settings made on it reach no other voice: see getVoice.
    [[nodiscard]] sf::Sound* getSound() const { return getVoice(0); }
    /// A voice, from 0 to the voices made so far less one (made as plays need them); null for
    /// another number. Valid until the next setVoiceCount or loadFromFile. A voice paused
    /// through it counts as free, and the play that takes it resumes it.
    [[nodiscard]] sf::Sound* getVoice(int index) const;
    /// The decoded samples.
    [[nodiscard]] const sf::SoundBuffer& getBuffer() const { return buffer; }
    /// The name the resource manager finds it by.
    [[nodiscard]] const std::string& getLabel() const { return label; }
    /// Names it.
    void setLabel(std::string l) { label = std::move(l); }

private:
    friend class ResourceManager;

    /// One playable copy of the sound, and when it was last started.
    struct Voice {
        std::unique_ptr<sf::Sound> sound;
        std::uint64_t started = 0; ///< the play that started it: larger is later
    };

    /// The voice the next play takes: a free one, a new one, or the one started longest ago.
    Voice& nextVoice();
    /// Gives every voice this sound's volume times the master volume.
    void applyVolume();

    std::vector<Voice> voices;
    sf::SoundBuffer buffer;
    std::string label;
    std::uint64_t plays = 0;
    int voiceCount = DEFAULT_VOICES;
    float volume = 100.0f;
    bool looping = false;
};

} // namespace mx
