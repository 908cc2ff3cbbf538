#pragma once

namespace mx {
class Hash;
}

/// Adds the flock game's own state to the world hash (mx::GameManager::getWorldHash), after
/// the objects: the score counter's value during a game, else the last game's score (-1
/// before the first). setUpGame hands it to the engine.
void addGameState(mx::Hash& hash);
