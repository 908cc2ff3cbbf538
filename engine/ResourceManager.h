#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Immortal.h"
#include "Manager.h"
#include "Sound.h"
#include "Sprite.h"

namespace mx {

/// Keeps the sprites and sounds the game loads, each under a label, from start-up
/// to shut-down. Objects hold plain pointers to them.
class ResourceManager : public Manager {
public:
    static constexpr int SPRITE_TABLE_SIZE = 500;
    static constexpr int SOUND_TABLE_SIZE = 50;
    /// Sprite files asking for more are refused before anything is allocated.
    static constexpr int MAX_SPRITE_FRAMES = 10000;
    static constexpr long long MAX_SPRITE_LINES = 1000000; ///< frames × rows

    static ResourceManager& getInstance();

    /// Loads a sprite file (format in the README) under a label. Returns 0 when
    /// the sprite was added, -1 when not; a bad file logs why.
    int loadSprite(std::string filename, std::string label);

    /// The first sprite loaded under exactly this label, or null.
    [[nodiscard]] Sprite* getSprite(std::string label) const;

    /// Loads a sound file SFML decodes (the game's are MP3) under a label.
    /// Returns 0 when the sound was added, -1 when not.
    int loadSound(std::string filename, std::string label);

    /// The first sound loaded under exactly this label, or null.
    [[nodiscard]] Sound* getSound(std::string label) const;

    [[nodiscard]] int getSpriteCount() const { return static_cast<int>(sprites.size()); }
    [[nodiscard]] int getSoundCount() const { return static_cast<int>(sounds.size()); }

private:
    friend class Immortal<ResourceManager>;
    ResourceManager() = default;

    int startUpImpl() override;
    void shutDownImpl() override;

    std::vector<std::unique_ptr<Sprite>> sprites;
    std::vector<std::unique_ptr<Sound>> sounds;
};

} // namespace mx
