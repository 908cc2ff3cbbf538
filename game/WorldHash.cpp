#include "WorldHash.h"

#include <cstdint>

#include <mx/Hash.h>
#include <mx/WorldManager.h>

#include "Menu.h"
#include "ScoreCounter.h"

namespace {

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

void addGameState(mx::Hash& hash) {
    hash.add(static_cast<std::int32_t>(currentScore()));
}
