#pragma once

/// The game's font; the folder that holds it holds the sprites and sounds too.
inline constexpr const char* FONT_FILE = "mx-font.ttf";
/// The window's icon, in the data folder (scripts/make-icon draws it).
inline constexpr const char* ICON_FILE = "icons/moltrix-64.png";

/// Finds the game's data (the working folder, the program's folder, or share/moltrix
/// beside it) and sets the engine up to read it, and only its own font, and its icon.
void useGameData();

/// Loads the game's sprites and sounds from its data folder.
void loadGameResources();

class Menu;

/// Starts the engine on the game's data and sets the game up: the 200 x 100 world, the
/// sprites and sounds, the dark green background, the title, the score in the world hash. Returns the menu, or null
/// when the engine cannot start (it has logged why).
[[nodiscard]] Menu* setUpGame();
