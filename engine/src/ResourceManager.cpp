#include <mx/ResourceManager.h>

#include <algorithm>
#include <cctype>
#include <exception>
#include <fstream>
#include <string_view>

#include <mx/Color.h>
#include <mx/LogManager.h>

#include "DataFile.h"
#include "Immortal.h"
#include "Platform.h"
#include "Volume.h"

namespace mx {

namespace {

struct NamedColor {
    const char* name;
    sf::Color color;
};

constexpr NamedColor COLOR_WORDS[] = {
    {"WHITE", WHITE}, {"RED", RED},         {"GREEN", GREEN},   {"BLUE", BLUE},
    {"CYAN", CYAN},   {"MAGENTA", MAGENTA}, {"YELLOW", YELLOW}, {"BLACK", BLACK},
};

/// The five header fields of a sprite file.
struct SpriteHeader {
    int frameCount = 0;
    int width = 0;
    int height = 0;
    int slowdown = 0;
    sf::Color color = WHITE;
    char transparent = 0;
};

std::string upperCase(std::string word) {
    for (char& c : word) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return word;
}

/// Text from a file, cut to a length a log line can carry.
std::string clipped(const std::string& text) {
    constexpr std::size_t MAX_QUOTED = 64;
    return text.size() <= MAX_QUOTED ? text : text.substr(0, MAX_QUOTED) + "...";
}

/// A line without its line end; a carriage return before the line feed is not part of it.
/// Past the end of the file, lines read as empty.
std::string readLine(std::istream& in) {
    std::string line;
    if (!std::getline(in, line)) {
        return {};
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

/// The start of a header line's note that names the character drawing skips.
constexpr std::string_view TRANSPARENT_KEY = "transparent=";

/// The character a header line's note names as transparent ("transparent=C" at its
/// start), or 0. A note that starts with the key but names no single character is logged.
char transparentIn(const std::string& note) {
    const std::size_t start = note.find_first_not_of(" \t");
    if (start == std::string::npos || note.compare(start, TRANSPARENT_KEY.size(), TRANSPARENT_KEY) != 0) {
        return 0;
    }
    const std::size_t at = start + TRANSPARENT_KEY.size();
    const auto blank = [&note](std::size_t i) { return note[i] == ' ' || note[i] == '\t'; };
    if (at >= note.size() || blank(at) || (at + 1 < note.size() && !blank(at + 1))) {
        LogManager::getInstance().writeLog("WARNING: ResourceManager::loadSprite(): No single character after "
                                           "'transparent=': '%s'", clipped(note.substr(start)).c_str());
        return 0;
    }
    return note[at];
}

} // namespace

ResourceManager& ResourceManager::getInstance() {
    static Immortal<ResourceManager> instance;
    return instance.get();
}

int ResourceManager::startUpImpl() {
    sprites.clear();
    sounds.clear();
    music.clear();
    sprites.reserve(SPRITE_TABLE_SIZE);
    sounds.reserve(SOUND_TABLE_SIZE);
    std::error_code error;
    const std::filesystem::path folder =
        dataFolder.empty() ? std::filesystem::current_path(error) : std::filesystem::absolute(dataFolder, error);
    LogManager::getInstance().writeLog(1, "INFO: ResourceManager::startUp(): Data folder: '%s'%s", folder.string().c_str(),
                                       dataFolder.empty() ? " (the working folder)" : "");
    return 0;
}

void ResourceManager::shutDownImpl() {
    sprites.clear();
    sounds.clear(); // destroying a sound stops it
    music.clear();
}

int ResourceManager::loadSprite(std::string filename, std::string label) {
    if (refusedBeforeStartUp("loadSprite", filename) || getSpriteCount() >= SPRITE_TABLE_SIZE) {
        return -1;
    }
    // A folder would read as an empty header, a FIFO or a device would block the game.
    const std::filesystem::path path = resolve(filename);
    if (const auto why = whyNotDataFile(path); why && !isMissing(why)) {
        LogManager::getInstance().writeLog("ERROR: ResourceManager::loadSprite(): Failed to open file: '%s': it %s",
                                           filename.c_str(), why->c_str());
        return -1;
    }
    std::ifstream file(path);
    if (!file.is_open()) {
        LogManager::getInstance().writeLog("ERROR: ResourceManager::loadSprite(): Failed to open file: '%s'", filename.c_str());
        return -1;
    }
    return addSprite(file, std::move(label), filename);
}

int ResourceManager::loadSpriteFromStream(std::istream& in, std::string label) {
    if (refusedBeforeStartUp("loadSprite", label) || getSpriteCount() >= SPRITE_TABLE_SIZE) {
        return -1;
    }
    const std::string source = label;
    return addSprite(in, std::move(label), source);
}

bool ResourceManager::refusedBeforeStartUp(const char* operation, const std::string& name) const {
    if (isStarted()) {
        return false;
    }
    LogManager::getInstance().writeLog(
        "ERROR: ResourceManager::%s(): Cannot load '%s' before the resource manager has started", operation,
        name.c_str());
    return true;
}

int ResourceManager::addSprite(std::istream& file, std::string label, const std::string& source) {
    LogManager& log = LogManager::getInstance();
    SpriteHeader header;
    try {
        std::string colorWord;
        file >> header.frameCount >> header.width >> header.height >> header.slowdown >> colorWord;
        // Numbers the stream cannot read, or negative ones, make no sprite.
        if (file.fail() || header.frameCount < 0 || header.width < 0 || header.height < 0 ||
            header.slowdown < 0) {
            log.writeLog("ERROR: ResourceManager::loadSprite(): Failed to parse sprite header");
            return -1;
        }
        const std::string upper = upperCase(colorWord);
        bool known = false;
        for (const NamedColor& named : COLOR_WORDS) {
            if (upper == named.name) {
                header.color = named.color;
                known = true;
                break;
            }
        }
        if (!known) {
            log.writeLog("WARNING: ResourceManager::loadSprite(): Invalid color: '%s'", clipped(upper).c_str());
        }
        header.transparent = transparentIn(readLine(file));
    } catch (const std::exception&) {
        log.writeLog("ERROR: ResourceManager::loadSprite(): Failed to parse sprite header");
        return -1;
    }

    // Decided before allocating: a header may ask for more than memory or patience allow.
    const long long lines = static_cast<long long>(header.frameCount) * header.height;
    if (header.frameCount > MAX_SPRITE_FRAMES || lines > MAX_SPRITE_LINES) {
        log.writeLog("ERROR: ResourceManager::loadSprite(): Sprite too large: %d frames of %d rows "
                     "(at most %d frames and %lld rows in all): '%s'",
                     header.frameCount, header.height, MAX_SPRITE_FRAMES, MAX_SPRITE_LINES, source.c_str());
        return -1;
    }

    std::vector<Frame> frames;
    try {
        frames.reserve(static_cast<std::size_t>(header.frameCount));
        for (int f = 0; f < header.frameCount; ++f) {
            std::string text;
            for (int row = 0; row < header.height; ++row) {
                text += readLine(file);
            }
            frames.emplace_back(header.width, header.height, std::move(text));
        }
    } catch (const std::exception&) {
        log.writeLog("ERROR: ResourceManager::loadSprite(): Failed to parse file");
        return -1;
    }

    auto sprite = std::make_unique<Sprite>(header.frameCount);
    sprite->setWidth(header.width);
    sprite->setHeight(header.height);
    sprite->setSlowdown(header.slowdown);
    sprite->setColor(header.color);
    sprite->setTransparency(header.transparent);
    sprite->setLabel(std::move(label));
    for (const Frame& frame : frames) {
        sprite->addFrame(frame);
    }
    sprites.push_back(std::move(sprite));
    return 0;
}

namespace {

/// The first entry of a table loaded under exactly this label, or null.
template <typename T>
T* findByLabel(const std::vector<std::unique_ptr<T>>& table, const std::string& label) {
    for (const auto& entry : table) {
        if (entry->getLabel() == label) {
            return entry.get();
        }
    }
    return nullptr;
}

} // namespace

Sprite* ResourceManager::getSprite(std::string label) const {
    return findByLabel(sprites, label);
}

int ResourceManager::loadSound(std::string filename, std::string label) {
    if (refusedBeforeStartUp("loadSound", filename) || getSoundCount() >= SOUND_TABLE_SIZE) {
        return -1;
    }
    auto sound = std::make_unique<Sound>();
    if (!sound->loadFromFile(resolve(filename))) {
        return -1; // it has said why
    }
    sound->setLabel(std::move(label));
    sounds.push_back(std::move(sound));
    return 0;
}

Sound* ResourceManager::getSound(std::string label) const {
    return findByLabel(sounds, label);
}

int ResourceManager::loadMusic(std::string filename, std::string label) {
    if (refusedBeforeStartUp("loadMusic", filename) || getMusicCount() >= MUSIC_TABLE_SIZE) {
        return -1;
    }
    auto tune = std::make_unique<Music>();
    if (!tune->openFromFile(resolve(filename))) {
        return -1; // it has said why
    }
    tune->setLabel(std::move(label));
    music.push_back(std::move(tune));
    return 0;
}

Music* ResourceManager::getMusic(std::string label) const {
    return findByLabel(music, label);
}

void ResourceManager::setMasterVolume(float volume) {
    masterVolume = clampVolume(volume);
    for (const auto& sound : sounds) {
        sound->applyVolume();
    }
    for (const auto& tune : music) {
        tune->applyVolume();
    }
}

std::filesystem::path ResourceManager::resolve(const std::filesystem::path& file) const {
    return dataFolder.empty() || file.is_absolute() ? file : dataFolder / file;
}

namespace {

/// Why a game's name cannot name a folder on every platform, or nothing.
std::optional<std::string> whyNotFolderName(const std::string& name) {
    constexpr std::size_t MAX_NAME = 100;
    if (name.empty()) {
        return "the game has no name: name it with setGameName";
    }
    if (name.size() > MAX_NAME || name == "." || name == ".." || name.back() == '.' || name.back() == ' ' ||
        name.find_first_of("/\\:*?\"<>|") != std::string::npos ||
        std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 32; })) {
        return "the game's name '" + clipped(name) + "' cannot name a folder";
    }
    return std::nullopt;
}

} // namespace

std::optional<std::filesystem::path> ResourceManager::getSaveFolder() const {
    LogManager& log = LogManager::getInstance();
    if (const auto problem = whyNotFolderName(gameName)) {
        log.writeLog("ERROR: ResourceManager::getSaveFolder(): No save folder: %s", problem->c_str());
        return std::nullopt;
    }
    const std::filesystem::path base = platform::userDataFolder();
    if (base.empty()) {
        log.writeLog("ERROR: ResourceManager::getSaveFolder(): No save folder: the user's data folder is unknown "
#ifdef _WIN32
                     "(APPDATA is not set)");
#else
                     "(neither XDG_DATA_HOME nor HOME is set)");
#endif
        return std::nullopt;
    }
    const std::filesystem::path folder = base / std::filesystem::path(std::u8string(gameName.begin(), gameName.end())); // UTF-8
    std::error_code error;
    if (std::filesystem::is_directory(folder, error)) {
        return folder;
    }
    std::filesystem::create_directories(folder, error);
    if (error || !std::filesystem::is_directory(folder, error)) {
        log.writeLog("ERROR: ResourceManager::getSaveFolder(): Cannot make the save folder '%s': %s",
                     folder.string().c_str(), error ? error.message().c_str() : "something else is there");
        return std::nullopt;
    }
    log.writeLog("INFO: ResourceManager::getSaveFolder(): Made the save folder '%s'", folder.string().c_str());
    return folder;
}

std::optional<std::filesystem::path> ResourceManager::findDataFolder(const std::filesystem::path& marker,
                                                                     const std::string& gameName) {
    std::error_code error;
    std::vector<std::filesystem::path> candidates{std::filesystem::current_path(error)};
    const std::filesystem::path executable = platform::executablePath();
    if (!executable.empty()) {
        const std::filesystem::path folder = executable.parent_path();
        candidates.push_back(folder);
        candidates.push_back((folder / ".." / "share" / gameName).lexically_normal());
    }
    for (const std::filesystem::path& candidate : candidates) {
        if (!candidate.empty() && std::filesystem::is_regular_file(candidate / marker, error)) {
            return candidate;
        }
    }
    return std::nullopt;
}

} // namespace mx
