#include "GameSetup.h"

#include <mx/DisplayManager.h>
#include <mx/GameManager.h>
#include <mx/ResourceManager.h>
#include <mx/WorldManager.h>

#include "GameColor.h"
#include "Menu.h"
#include "WorldHash.h"

void loadGameResources() {
    // A resource that fails to load has logged why; the game runs without it.
    mx::ResourceManager& resources = mx::ResourceManager::getInstance();
    (void)resources.loadSprite("sprites/logo.txt", "logo");
    (void)resources.loadSprite("sprites/gameover.txt", "gameover");
    (void)resources.loadSprite("sprites/background.txt", "background");
    (void)resources.loadSound("sounds/BirdCall_Sonavox.mp3", "Scream");
    (void)resources.loadSound("sounds/BirdHoot_Sonavox.mp3", "Hoot");
    // One voice each, as the game was made: a hoot while one sounds starts it again.
    for (const char* label : {"Scream", "Hoot"}) {
        if (mx::Sound* sound = resources.getSound(label)) {
            sound->setVoiceCount(1);
        }
    }
}

void useGameData() {
    // The game's data lies where its font is: beside a game run from its source tree,
    // or in share/moltrix of an installed one.
    if (const auto folder = mx::ResourceManager::findDataFolder(FONT_FILE, "moltrix")) {
        mx::ResourceManager::getInstance().setDataFolder(*folder);
    }
    // Its own copy: without it the game does not start, even where the engine's is installed.
    mx::DisplayManager::getInstance().setFontFile(FONT_FILE);
    mx::DisplayManager::getInstance().setIconFile(ICON_FILE);
}

Menu* setUpGame() {
    useGameData();
    mx::GameManager& game = mx::GameManager::getInstance();
    if (game.startUp() != 0) {
        return nullptr;
    }
    game.setStateHasher(addGameState); // the score, beside the objects
    mx::WorldManager::getInstance().setBoundary(mx::Box(-100.0f, 100.0f, -50.0f, 50.0f));
    loadGameResources();
    mx::DisplayManager::getInstance().setBackgroundColor(colorFromFloats(0.0f, 0.1f, 0.0f));
    return new Menu; // the world owns it from here on
}
