#pragma once

#include <filesystem>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <mx/Manager.h>
#include <mx/Music.h>
#include <mx/Sound.h>
#include <mx/Sprite.h>

namespace mx {

/// Keeps the sprites, sounds and music the game loads, each under a label, from start-up
/// to shut-down. Objects hold plain pointers to them. It also holds the master volume of
/// every sound and music.
class ResourceManager : public Manager {
public:
    static constexpr int SPRITE_TABLE_SIZE = 500; ///< the most sprites it keeps
    static constexpr int SOUND_TABLE_SIZE = 50;   ///< the most sounds it keeps
    static constexpr int MUSIC_TABLE_SIZE = 50;   ///< the most music it keeps
    /// Sprite files asking for more are refused before anything is allocated.
    static constexpr int MAX_SPRITE_FRAMES = 10000;
    static constexpr long long MAX_SPRITE_LINES = 1000000; ///< frames × rows

    /// The one resource manager.
    static ResourceManager& getInstance();

    /// Loads a sprite file (format in the README) under a label; a relative file name is
    /// looked for in the data folder. Returns 0 when the sprite was added, -1 when not; a
    /// bad file, or a call before start-up, logs why (a full table of SPRITE_TABLE_SIZE does not).
    int loadSprite(std::string filename, std::string label);

    /// Loads a sprite in the sprite file format from a stream (a string, say) under a label,
    /// exactly as loadSprite loads a file.
    int loadSpriteFromStream(std::istream& in, std::string label);

    /// The first sprite loaded under exactly this label, or null.
    [[nodiscard]] Sprite* getSprite(std::string label) const;

    /// Loads a sound file SFML decodes (WAV, OGG, FLAC, MP3) under a label; a relative file
    /// name is looked for in the data folder. Returns 0 when the sound was added, -1 when
    /// not (SFML says why on its error stream; a call before start-up is logged).
    int loadSound(std::string filename, std::string label);

    /// The first sound loaded under exactly this label, or null.
    [[nodiscard]] Sound* getSound(std::string label) const;

    /// Opens a music file to stream while it plays (OGG, FLAC, WAV, MP3) under a label; a
    /// relative file name is looked for in the data folder. Returns 0 when it was added, -1
    /// with a log line when not (a full table of MUSIC_TABLE_SIZE says nothing). The file
    /// stays open until shut-down.
    int loadMusic(std::string filename, std::string label);

    /// The first music loaded under exactly this label, or null.
    [[nodiscard]] Music* getMusic(std::string label) const;

    /// The volume every sound and music is heard at, 0 (silent) to 100 (the default): each
    /// plays at its own volume times this, over 100. Other numbers are brought into that range.
    /// Kept across start-ups.
    void setMasterVolume(float volume);
    /// The master volume, 0 to 100.
    [[nodiscard]] float getMasterVolume() const { return masterVolume; }

    /// The folder in which relative file names are looked up: those of sprites, sounds
    /// and the display's font. Empty (the default) means the working folder.
    void setDataFolder(std::filesystem::path folder) { dataFolder = std::move(folder); }
    /// The data folder; empty for the working folder.
    [[nodiscard]] const std::filesystem::path& getDataFolder() const { return dataFolder; }

    /// A file name as the engine opens it: a relative one inside the data folder.
    [[nodiscard]] std::filesystem::path resolve(const std::filesystem::path& file) const;

    /// Finds a game's data wherever it was started from: the first of the working folder,
    /// the executable's folder and share/gameName beside the executable's folder (where
    /// an installed game keeps its data) that holds marker, a file every copy of the
    /// data has. Nothing when none does.
    [[nodiscard]] static std::optional<std::filesystem::path> findDataFolder(const std::filesystem::path& marker,
                                                                             const std::string& gameName);

    /// Names the game, for the folders the engine keeps its files in: the save folder
    /// (getSaveFolder). A name is a single folder name: not empty, no longer than 100
    /// characters, without / \\ : * ? " < > | or control characters, not . or .., and not
    /// ending in a dot or a blank. Set it before start-up or after.
    void setGameName(std::string name) { gameName = std::move(name); }
    /// The game's name; empty until setGameName.
    [[nodiscard]] const std::string& getGameName() const { return gameName; }

    /// The user's folder for the game's own files, kept between runs (best scores, settings,
    /// screenshots): the game's name (setGameName) under $XDG_DATA_HOME, or ~/.local/share,
    /// on Linux and %APPDATA% on Windows. Made, with the folders above it, on first use. Nothing,
    /// and a log line, when the game has no name or the folder cannot be made. Nothing is
    /// made for a game that never asks.
    [[nodiscard]] std::optional<std::filesystem::path> getSaveFolder() const;

    /// The number of sprites loaded.
    [[nodiscard]] int getSpriteCount() const { return static_cast<int>(sprites.size()); }
    /// The number of sounds loaded.
    [[nodiscard]] int getSoundCount() const { return static_cast<int>(sounds.size()); }
    /// The number of music files loaded.
    [[nodiscard]] int getMusicCount() const { return static_cast<int>(music.size()); }

private:
    friend class Immortal<ResourceManager>;
    ResourceManager() = default;

    int startUpImpl() override;
    void shutDownImpl() override;

    /// Logs why an operation cannot load name, and says true, while not started.
    [[nodiscard]] bool refusedBeforeStartUp(const char* operation, const std::string& name) const;
    /// Reads a sprite from a stream and adds it; source names it in log lines.
    int addSprite(std::istream& in, std::string label, const std::string& source);

    std::vector<std::unique_ptr<Sprite>> sprites;
    std::vector<std::unique_ptr<Sound>> sounds;
    std::vector<std::unique_ptr<Music>> music;
    std::filesystem::path dataFolder;
    std::string gameName;
    float masterVolume = 100.0f;
};

} // namespace mx
