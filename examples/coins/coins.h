#pragma once

/// Before the engine starts: names the window and the log, and finds the game's data.
void setUpEngine();

/// Once the engine has started: loads the data and makes the first objects (the room, the
/// player, five coins, the score).
void startCoins();
