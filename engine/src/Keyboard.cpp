#include <array>

#include <SFML/Window/Keyboard.hpp>

#include <mx/EventKeyboard.h>
#include <mx/InputManager.h>

namespace mx {

namespace {

/// The names of the key codes, from UNDEFINED_KEY (-1) on, as the key table spells them.
constexpr std::array<const char*, Keyboard::KEY_COUNT + 1> KEY_NAMES = [] {
    std::array<const char*, Keyboard::KEY_COUNT + 1> names{};
    names.fill("");
    names[0] = "UNDEFINED";
#define MX_KEY_NAME(name, code, sfml) names[(code) + 1] = #name;
    MX_KEY_TABLE(MX_KEY_NAME)
#undef MX_KEY_NAME
    return names;
}();

/// The engine code of each SFML key, by SFML's number (A is 0, Pause the last).
constexpr int SFML_KEY_COUNT = static_cast<int>(sf::Keyboard::KeyCount);
constexpr std::array<Keyboard::Key, SFML_KEY_COUNT> BY_SFML_KEY = [] {
    std::array<Keyboard::Key, SFML_KEY_COUNT> codes{};
    codes.fill(Keyboard::UNDEFINED_KEY);
#define MX_KEY_BY_SFML(name, code, sfml) codes[static_cast<std::size_t>(sf::Keyboard::Key::sfml)] = Keyboard::name;
    MX_KEY_TABLE(MX_KEY_BY_SFML)
#undef MX_KEY_BY_SFML
    return codes;
}();

// The table pairs the codes 0 to KEY_COUNT - 1 and SFML's keys one to one: as many rows as
// either, every code named and every SFML key given a code.
#define MX_KEY_ROW(name, code, sfml) +1
constexpr int KEY_ROWS = 0 MX_KEY_TABLE(MX_KEY_ROW);
#undef MX_KEY_ROW
constexpr bool isOneToOne() {
    for (int code = 0; code < Keyboard::KEY_COUNT; ++code) {
        if (KEY_NAMES[static_cast<std::size_t>(code) + 1][0] == '\0') {
            return false;
        }
    }
    for (const Keyboard::Key code : BY_SFML_KEY) {
        if (code == Keyboard::UNDEFINED_KEY) {
            return false;
        }
    }
    return KEY_ROWS == Keyboard::KEY_COUNT && KEY_ROWS == SFML_KEY_COUNT;
}
static_assert(isOneToOne(), "MX_KEY_TABLE must pair the codes and SFML's keys one to one");

bool sameText(const char* a, std::string_view b) {
    return std::string_view(a) == b;
}

} // namespace

const char* Keyboard::getName(Key key) {
    const int index = static_cast<int>(key) + 1;
    return index >= 0 && index < static_cast<int>(KEY_NAMES.size()) ? KEY_NAMES[static_cast<std::size_t>(index)] : "";
}

std::optional<Keyboard::Key> Keyboard::fromName(std::string_view name) {
    if (name.empty()) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < KEY_NAMES.size(); ++i) {
        if (sameText(KEY_NAMES[i], name)) {
            return static_cast<Key>(static_cast<int>(i) - 1);
        }
    }
    return std::nullopt;
}

Keyboard::Key translateKey(sf::Keyboard::Key key) {
    const int code = static_cast<int>(key);
    return code >= 0 && code < SFML_KEY_COUNT ? BY_SFML_KEY[static_cast<std::size_t>(code)] : Keyboard::UNDEFINED_KEY;
}

} // namespace mx
