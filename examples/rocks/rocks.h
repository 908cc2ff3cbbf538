#pragma once

/// Before the engine starts: names the window and the log, and finds the game's data.
void setUpEngine();

/// Once the engine has started: loads the sprites, makes the world wrap, and shows the
/// title with rocks drifting behind it.
void startRocks();
