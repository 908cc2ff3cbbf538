#pragma once

/// Before the engine starts: names the window, the log and the save folder, and finds the
/// game's data.
void setUpBricks();

/// Once the engine has started: loads the data, starts the music and makes the game (the
/// walls, the paddle, the values, the best score, the first wall of bricks).
void startBricks();
