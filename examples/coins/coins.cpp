// Coins: a small game on the Moltrix engine. Walk the @ with the arrow keys (or WASD)
// around a walled room, pick up the spinning coins, throw sparks with SPACE; F12 takes a
// screenshot, Q quits.
// This file is the game; main.cpp runs it, coins_test.cpp tests it without a window.
#include "coins.h"

#include <mx/DisplayManager.h>
#include <mx/EventCollision.h>
#include <mx/EventKeyboard.h>
#include <mx/EventOut.h>
#include <mx/EventStep.h>
#include <mx/EventView.h>
#include <mx/GameManager.h>
#include <mx/Hash.h>
#include <mx/InputManager.h>
#include <mx/LogManager.h>
#include <mx/ResourceManager.h>
#include <mx/ViewObject.h>
#include <mx/WorldManager.h>

namespace {

// The room: walls on the border of rows 1 to 22 of the 80 x 24 screen, and one inside.
constexpr int ROOM_TOP = 1;
constexpr int ROOM_BOTTOM = 22;
constexpr int ROOM_RIGHT = 79;
constexpr int INNER_WALL_COLUMN = 40;
constexpr int INNER_WALL_TOP = 6;
constexpr int INNER_WALL_BOTTOM = 17;

constexpr const char* SCORE = "Score";

/// The centre of a cell: an object there covers exactly that cell.
mx::Vector cellCentre(int column, int row) {
    return mx::Vector(static_cast<float>(column) + 0.5f, static_cast<float>(row) + 0.5f);
}

/// One cell of wall. Solid, as every object is unless told otherwise: it stops whatever
/// solid object walks into it.
class Wall : public mx::Object {
public:
    Wall(int column, int row) {
        setType("Wall");
        setPosition(cellCentre(column, row));
    }

    int draw() override {
        return mx::DisplayManager::getInstance().drawChCentred(getPosition(), '#', sf::Color(110, 110, 140));
    }
};

/// A spark flies straight on, through walls, until it leaves the world.
class Spark : public mx::Object {
public:
    static constexpr const char* TYPE = "Spark";

    Spark(mx::Vector from, mx::Vector direction) {
        setType(TYPE);
        setSolidness(mx::PERMEABLE); // told of collisions, never stopped
        setPosition(from);
        setVelocity(mx::Vector(direction.x, direction.y * 0.5f));
    }

    int eventHandler(const mx::Event* event) override {
        if (event->getType() == mx::EventOut::TYPE) {
            mx::WorldManager::getInstance().markForDelete(this);
            return 1;
        }
        return 0;
    }

    int draw() override { return mx::DisplayManager::getInstance().drawChCentred(getPosition(), '*', mx::CYAN); }
};

/// A free cell inside the room, away from the inner wall.
mx::Vector randomFreeCell() {
    // The engine's random numbers: a recording replays with them to the same coins.
    mx::Random& random = mx::GameManager::getInstance().getRandom();
    while (true) {
        const int column = random.between(1, ROOM_RIGHT - 1);
        const int row = random.between(ROOM_TOP + 1, ROOM_BOTTOM - 1);
        if (column != INNER_WALL_COLUMN || row < INNER_WALL_TOP || row > INNER_WALL_BOTTOM) {
            return cellCentre(column, row);
        }
    }
}

/// A spinning coin: its sprite animates by itself. The player (10 points) or a spark
/// (5 points) picks it up, and another appears somewhere else.
class Coin : public mx::Object {
public:
    static constexpr const char* TYPE = "Coin";

    explicit Coin(mx::Vector at) {
        setType(TYPE);
        setSprite(mx::ResourceManager::getInstance().getSprite("coin"));
        setSolidness(mx::PERMEABLE);
        setPosition(at);
    }

    int eventHandler(const mx::Event* event) override {
        if (event->getType() != mx::EventCollision::TYPE || taken) {
            return 0;
        }
        const std::string& other = static_cast<const mx::EventCollision*>(event)->obj2->getType();
        if (other == "Player") {
            pickUp(10);
        } else if (other == Spark::TYPE) {
            pickUp(5);
        }
        return taken ? 1 : 0;
    }

private:
    void pickUp(int points) {
        taken = true; // a player and a spark in the same update take it once
        mx::WorldManager& world = mx::WorldManager::getInstance();
        world.markForDelete(this);
        const mx::EventView score(SCORE, points, true);
        world.onEvent(&score);
        if (mx::Sound* ding = mx::ResourceManager::getInstance().getSound("ding")) {
            ding->play();
        }
        new Coin(randomFreeCell());
    }

    bool taken = false;
};

/// The player: walks while an arrow key is held, throws a spark on SPACE, quits on Q.
class Player : public mx::Object {
public:
    explicit Player(mx::Vector at) {
        setType("Player");
        setPosition(at);
        setAltitude(2); // drawn over coins and sparks
    }

    int eventHandler(const mx::Event* event) override {
        if (event->getType() == mx::EventStep::TYPE) {
            walk();
            return 1;
        }
        if (event->getType() == mx::EventKeyboard::TYPE) {
            const auto* key = static_cast<const mx::EventKeyboard*>(event);
            if (key->getKey() == mx::Keyboard::SPACE && key->getKeyboardAction() == mx::KEY_PRESSED) {
                new Spark(getPosition(), facing);
                return 1;
            }
            if (key->getKey() == mx::Keyboard::Q && key->getKeyboardAction() == mx::KEY_RELEASED) {
                mx::GameManager::getInstance().setGameOver(true);
                return 1;
            }
            if (key->getKey() == mx::Keyboard::F12 && key->getKeyboardAction() == mx::KEY_PRESSED) {
                // Into the save folder, as a PNG (the grid as text when headless); the log says where.
                (void)mx::DisplayManager::getInstance().takeScreenshot();
                return 1;
            }
        }
        return 0;
    }

    int draw() override { return mx::DisplayManager::getInstance().drawChCentred(getPosition(), '@', mx::GREEN); }

private:
    /// Sets the velocity from the keys held now, every step: a wall stops the player (and
    /// zeroes its velocity), and the next step walks on if the key is still held.
    void walk() {
        const mx::InputManager& input = mx::InputManager::getInstance();
        const auto held = [&input](mx::Keyboard::Key arrow, mx::Keyboard::Key letter) {
            return input.isKeyHeld(arrow) || input.isKeyHeld(letter);
        };
        float dx = 0.0f;
        float dy = 0.0f;
        dx -= held(mx::Keyboard::LEFT, mx::Keyboard::A) ? 1.0f : 0.0f;
        dx += held(mx::Keyboard::RIGHT, mx::Keyboard::D) ? 1.0f : 0.0f;
        dy -= held(mx::Keyboard::UP, mx::Keyboard::W) ? 1.0f : 0.0f;
        dy += held(mx::Keyboard::DOWN, mx::Keyboard::S) ? 1.0f : 0.0f;
        if (dx != 0.0f || dy != 0.0f) {
            facing = mx::Vector(dx, dy);
        }
        // Cells are 2.5 times as tall as wide: half a cell across, a quarter down, look alike.
        setVelocity(mx::Vector(dx * 0.5f, dy * 0.25f));
    }

    mx::Vector facing = mx::Vector::RIGHT;
};

/// The score, in the world hash that recordings check: a view object's value, which the
/// hash does not see by itself (it covers each object's place and speed).
void addScore(mx::Hash& hash) {
    const mx::ViewObject* score = mx::ViewObject::find(SCORE);
    hash.add(static_cast<std::int32_t>(score != nullptr ? score->getValue() : 0));
}

void buildRoom() {
    for (int column = 0; column <= ROOM_RIGHT; ++column) {
        new Wall(column, ROOM_TOP);
        new Wall(column, ROOM_BOTTOM);
    }
    for (int row = ROOM_TOP + 1; row < ROOM_BOTTOM; ++row) {
        new Wall(0, row);
        new Wall(ROOM_RIGHT, row);
    }
    for (int row = INNER_WALL_TOP; row <= INNER_WALL_BOTTOM; ++row) {
        new Wall(INNER_WALL_COLUMN, row);
    }
}

} // namespace

void setUpEngine() {
    // The engine is the game's: its window title, its log, and where its data lies.
    mx::DisplayManager::getInstance().setWindowTitle("Coins");
    mx::LogManager::getInstance().setLogFile("coins.log");
    mx::ResourceManager::getInstance().setGameName("Coins"); // names its save folder
    if (const auto data = mx::ResourceManager::findDataFolder("sprites/coin.txt", "coins")) {
        mx::ResourceManager::getInstance().setDataFolder(*data);
    }
}

void startCoins() {
    mx::DisplayManager::getInstance().setBackgroundColor(sf::Color(12, 12, 28));
    mx::ResourceManager& resources = mx::ResourceManager::getInstance();
    (void)resources.loadSprite("sprites/coin.txt", "coin");
    (void)resources.loadSound("sounds/ding.wav", "ding");

    buildRoom();
    new Player(cellCentre(10, 11));
    for (int i = 0; i < 5; ++i) {
        new Coin(randomFreeCell());
    }
    auto* score = new mx::ViewObject; // takes the view events tagged "Score"
    score->setViewString(SCORE);
    score->setBorder(false);
    score->setLocation(mx::TOP_LEFT);
    mx::GameManager::getInstance().setStateHasher(addScore);
}
