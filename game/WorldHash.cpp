#include "WorldHash.h"

#include <bit>
#include <charconv>

#include <mx/WorldManager.h>

#include "Menu.h"
#include "ScoreCounter.h"

namespace {

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
    if (const auto score = ScoreCounter::findValue()) {
        return *score;
    }
    const mx::ObjectList menus = mx::WorldManager::getInstance().objectsOfType(Menu::TYPE);
    const auto* menu = menus.isEmpty() ? nullptr : dynamic_cast<const Menu*>(menus[0]);
    return menu != nullptr ? menu->getLastScore() : -1;
}

} // namespace

std::string hexadecimal(std::uint64_t value) {
    char digits[17];
    const auto end = std::to_chars(digits, digits + 16, value, 16).ptr;
    return std::string(16 - static_cast<std::size_t>(end - digits), '0') + std::string(digits, end);
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
