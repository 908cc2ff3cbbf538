#include "Program.h"

#include <bit>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include <mx/DisplayManager.h>
#include <mx/GameManager.h>
#include <mx/InputManager.h>
#include <mx/LogManager.h>
#include <mx/ResourceManager.h>
#include <mx/ViewObject.h>
#include <mx/WorldManager.h>

#include "Menu.h"
#include "ScoreCounter.h"

namespace {

std::uint8_t channelFromFloat(float value) {
    if (value >= 1.0f) {
        return 255;
    }
    if (value <= 0.0f) {
        return 0;
    }
    return static_cast<std::uint8_t>(value * 255.0f);
}

/// FNV-1a, 64 bits, over bytes in a fixed order whatever the machine's byte order.
class Fnv1a {
public:
    void add(const char* bytes, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) {
            hash = (hash ^ static_cast<unsigned char>(bytes[i])) * 0x100000001b3ULL;
        }
    }
    void add(std::uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8) {
            const char byte = static_cast<char>((value >> shift) & 0xFF);
            add(&byte, 1);
        }
    }
    void add(float value) { add(std::bit_cast<std::uint32_t>(value)); }
    [[nodiscard]] std::uint64_t get() const { return hash; }

private:
    std::uint64_t hash = 0xcbf29ce484222325ULL;
};

/// The score counter's value during a game, else the last game's score (-1 before the first).
int currentScore() {
    const mx::WorldManager& world = mx::WorldManager::getInstance();
    const mx::ObjectList counters = world.objectsOfType(ScoreCounter::TYPE);
    if (const auto* counter = counters.isEmpty() ? nullptr : dynamic_cast<const mx::ViewObject*>(counters[0])) {
        return counter->getValue();
    }
    const mx::ObjectList menus = world.objectsOfType(Menu::TYPE);
    const auto* menu = menus.isEmpty() ? nullptr : dynamic_cast<const Menu*>(menus[0]);
    return menu != nullptr ? menu->getLastScore() : -1;
}

std::string hexadecimal(std::uint64_t value) {
    char digits[17];
    const auto end = std::to_chars(digits, digits + 16, value, 16).ptr;
    return std::string(16 - static_cast<std::size_t>(end - digits), '0') + std::string(digits, end);
}

/// The value of a whole positive number of frames, or nothing.
std::optional<std::uint32_t> frameCount(const std::string& text) {
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value == 0) {
        return std::nullopt;
    }
    return value;
}

} // namespace

sf::Color colorFromFloats(float r, float g, float b) {
    return sf::Color(channelFromFloat(r), channelFromFloat(g), channelFromFloat(b), 255);
}

void loadGameResources() {
    // A resource that fails to load has logged why; the game runs without it.
    mx::ResourceManager& resources = mx::ResourceManager::getInstance();
    (void)resources.loadSprite("sprites/logo.txt", "logo");
    (void)resources.loadSprite("sprites/gameover.txt", "gameover");
    (void)resources.loadSprite("sprites/background.txt", "background");
    (void)resources.loadSound("sounds/BirdCall_Sonavox.mp3", "Scream");
    (void)resources.loadSound("sounds/BirdHoot_Sonavox.mp3", "Hoot");
}

void useGameData() {
    // The game's data lies where its font is: beside a game run from its source tree,
    // or in share/moltrix of an installed one.
    if (const auto folder = mx::ResourceManager::findDataFolder(FONT_FILE, "moltrix")) {
        mx::ResourceManager::getInstance().setDataFolder(*folder);
    }
    // Its own copy: without it the game does not start, even where the engine's is installed.
    mx::DisplayManager::getInstance().setFontFile(FONT_FILE);
}

Menu* setUpGame() {
    useGameData();
    if (mx::GameManager::getInstance().startUp() != 0) {
        return nullptr;
    }
    mx::WorldManager::getInstance().setBoundary(mx::Box(-100.0f, 100.0f, -50.0f, 50.0f));
    loadGameResources();
    mx::DisplayManager::getInstance().setBackgroundColor(colorFromFloats(0.0f, 0.1f, 0.0f));
    return new Menu; // the world owns it from here on
}

const char* usage() {
    return "usage: moltrix [--headless [--real-time]] [--record FILE] [--replay FILE] [--frames N]\n"
           "  --headless     run without a window; needs no display. Frames follow one another at once\n"
           "  --real-time    with --headless: keep the 33 ms frame period all the same\n"
           "  --record FILE  record the session's input into FILE, written when the program ends\n"
           "  --replay FILE  replay a recorded session instead of reading the window's keys and mouse\n"
           "  --frames N     stop after N frames\n"
           "After a replay, a recording or N frames the program prints \"world hash: \" and 16 hex digits.\n";
}

std::optional<ProgramOptions> parseOptions(const std::vector<std::string>& arguments, std::string& error) {
    ProgramOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& option = arguments[i];
        const bool needsValue = option == "--record" || option == "--replay" || option == "--frames";
        if (needsValue && i + 1 == arguments.size()) {
            error = option + " needs a value";
            return std::nullopt;
        }
        if (option == "--headless") {
            options.headless = true;
        } else if (option == "--real-time") {
            options.realTime = true;
        } else if (option == "--record") {
            options.record = arguments[++i];
        } else if (option == "--replay") {
            options.replay = arguments[++i];
        } else if (option == "--frames") {
            options.frames = frameCount(arguments[++i]);
            if (!options.frames) {
                error = "--frames needs a whole number from 1 to 4294967295, not '" + arguments[i] + "'";
                return std::nullopt;
            }
        } else if (option == "--help" || option == "-h") {
            options.help = true;
        } else {
            error = "unknown option '" + option + "'";
            return std::nullopt;
        }
    }
    if (options.realTime && !options.headless) {
        error = "--real-time is for --headless runs: a window always keeps real time";
        return std::nullopt;
    }
    if (options.headless && options.replay.empty() && !options.frames) {
        error = "--headless needs --replay or --frames: without a window nothing else could end the run";
        return std::nullopt;
    }
    return options;
}

std::uint64_t worldHash() {
    Fnv1a hash;
    for (const mx::Object* object : mx::WorldManager::getInstance().getAllObjects()) {
        const std::string& type = object->getType();
        hash.add(type.c_str(), type.size() + 1); // with its terminating 0: types cannot run together
        for (const float value : {object->getPosition().x, object->getPosition().y, object->getVelocity().x,
                                  object->getVelocity().y}) {
            hash.add(value);
        }
    }
    hash.add(static_cast<std::uint32_t>(currentScore()));
    return hash.get();
}

int runProgram(const ProgramOptions& options) {
    mx::DisplayManager::getInstance().setHeadless(options.headless);
    mx::GameManager& game = mx::GameManager::getInstance();
    if (options.realTime) {
        game.setRealTime(true); // headless, yet at the frame period
    }
    mx::InputManager& input = mx::InputManager::getInstance();
    mx::LogManager& log = mx::LogManager::getInstance();
    auto seed = static_cast<std::uint32_t>(std::time(nullptr));
    if (!options.replay.empty()) {
        // Read before any window opens, with the log up to say why a file is refused.
        if (log.startUp() != 0 || input.startReplay(options.replay) != 0) {
            log.shutDown();
            return 1;
        }
        seed = input.getReplaySeed();
    }
    if (setUpGame() == nullptr) {
        log.writeLog("Failed to start engine");
        return -1;
    }
    // Seeded once the engine is up: libraries it starts may draw numbers of their own (the
    // sound system's may), which would leave a replay's game with other numbers.
    std::srand(seed);
    if (!options.record.empty() && input.startRecording(options.record, seed) != 0) {
        game.shutDown();
        return 1;
    }
    if (options.frames) {
        (void)game.runFrames(*options.frames);
    } else {
        game.run();
    }
    if (!options.replay.empty() || !options.record.empty() || options.frames) {
        std::printf("world hash: %s\n", hexadecimal(worldHash()).c_str());
        std::fflush(stdout);
    }
    game.shutDown();
    return 0;
}
