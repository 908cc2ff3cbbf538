// Rocks: a small arcade shooter on the Moltrix engine, in a world two screens each way
// that wraps at its edges. Turn the ship with LEFT and RIGHT, thrust with UP, fire with
// SPACE; a rock that is hit splits in two smaller ones, the smallest burst. A cleared
// wave brings a bigger one. Q quits. This file is the game; main.cpp runs it,
// rocks_test.cpp tests it without a window.
#include "rocks.h"

#include <algorithm>
#include <string>
#include <utility>

#include <mx/DisplayManager.h>
#include <mx/EventCollision.h>
#include <mx/EventKeyboard.h>
#include <mx/EventStep.h>
#include <mx/EventTimer.h>
#include <mx/EventView.h>
#include <mx/GameManager.h>
#include <mx/InputManager.h>
#include <mx/LogManager.h>
#include <mx/ResourceManager.h>
#include <mx/ViewObject.h>
#include <mx/WorldManager.h>

namespace {

constexpr const char* SCORE = "Score";
constexpr const char* SHIPS = "Ships";
constexpr const char* WAVE = "Wave";

/// The world: two screens each way; it wraps at its edges.
constexpr mx::Box WORLD(0, 160, 0, 48);

/// A bullet flies this many frames.
constexpr int BULLET_LIFE = 24;

/// Every random choice of the game comes from the engine's generator: seeded alike, a
/// game plays alike on every platform, and a recording replays exactly.
mx::Random& random() {
    return mx::GameManager::getInstance().getRandom();
}

/// Cells are 2.5 times as tall as wide: a way that looks as long down as across.
mx::Vector onScreen(float x, float y) {
    return mx::Vector(x, y * 0.4f);
}

/// The way the ship points at heading 0 (up) to 7, clockwise.
mx::Vector headingWay(int heading) {
    constexpr float d = 0.7071068f;
    const mx::Vector ways[8] = {{0, -1}, {d, -d}, {1, 0}, {d, d}, {0, 1}, {-d, d}, {-1, 0}, {-d, -d}};
    return onScreen(ways[heading].x, ways[heading].y);
}

/// A random way, speed cells a frame across.
mx::Vector randomWay(float speed) {
    mx::Vector way;
    do {
        way = mx::Vector(random().unit() * 2.0f - 1.0f, random().unit() * 2.0f - 1.0f);
    } while (way.getMagnitude() < 0.3f);
    way = way / way.getMagnitude() * speed;
    return onScreen(way.x, way.y);
}

/// How far apart two places are, the short way round the world.
float distance(mx::Vector a, mx::Vector b) {
    const mx::Vector d = mx::WorldManager::getInstance().displacement(a, b);
    return mx::Vector(d.x, d.y * 2.5f).getMagnitude();
}

void addValue(const char* label, int value, bool delta) {
    const mx::EventView change(label, value, delta);
    mx::WorldManager::getInstance().onEvent(&change);
}

/// A burst of yellow, drawn frame by frame by its sprite; its last frame, smoke, stands
/// still for a moment before it goes.
class Burst : public mx::Object {
public:
    static constexpr const char* TYPE = "Burst";

    explicit Burst(mx::Vector at) {
        setType(TYPE);
        setSprite(mx::ResourceManager::getInstance().getSprite("burst"));
        setSolidness(mx::INTANGIBLE);
        setAltitude(3);
        setPosition(at);
        startTimer("smoke", 9); // three frames of three steps each, then the fourth
    }

    int eventHandler(const mx::Event* event) override {
        if (event->getType() != mx::EventTimer::TYPE) {
            return 0;
        }
        if (static_cast<const mx::EventTimer*>(event)->getName() == "smoke") {
            setFrame(-1); // the last frame
            setAnimating(false);
            startTimer("gone", 15);
        } else {
            mx::WorldManager::getInstance().markForDelete(this);
        }
        return 1;
    }
};

/// A bullet flies on, round the world, until its timer runs out or it meets a rock.
class Bullet : public mx::Object {
public:
    static constexpr const char* TYPE = "Bullet";

    Bullet(mx::Vector at, mx::Vector velocity) {
        setType(TYPE);
        setSolidness(mx::PERMEABLE);
        setPosition(at);
        setVelocity(velocity);
        startTimer("life", BULLET_LIFE);
    }

    int eventHandler(const mx::Event* event) override;

    int draw() override { return mx::DisplayManager::getInstance().drawChCentred(getPosition(), '*', mx::YELLOW); }
};

/// A rock drifts round the world. Hit by a bullet it splits in two smaller ones, the
/// smallest bursts; the smaller, the faster, and the more points.
class Rock : public mx::Object {
public:
    static constexpr const char* TYPE = "Rock";

    Rock(int size_, mx::Vector at) : size(size_) {
        setType(TYPE);
        setSprite(mx::ResourceManager::getInstance().getSprite("rock" + std::to_string(size)));
        setSolidness(mx::PERMEABLE);
        setPosition(at);
        setVelocity(randomWay(0.15f * static_cast<float>(4 - size) + 0.1f * random().unit()));
    }

    int eventHandler(const mx::Event* event) override {
        if (event->getType() != mx::EventCollision::TYPE ||
            static_cast<const mx::EventCollision*>(event)->obj2->getType() != Bullet::TYPE) {
            return 0;
        }
        // Out of the world at once: a second bullet in the same frame flies on.
        mx::WorldManager::getInstance().markForDelete(this, mx::REMOVE_AT_ONCE);
        const int points[] = {0, 100, 50, 20};
        addValue(SCORE, points[size], true);
        new Burst(getPosition());
        if (size > 1) {
            new Rock(size - 1, getPosition());
            new Rock(size - 1, getPosition());
        }
        return 1;
    }

private:
    int size;
};

int Bullet::eventHandler(const mx::Event* event) {
    mx::WorldManager& world = mx::WorldManager::getInstance();
    if (event->getType() == mx::EventTimer::TYPE) {
        world.markForDelete(this);
        return 1;
    }
    if (event->getType() == mx::EventCollision::TYPE &&
        static_cast<const mx::EventCollision*>(event)->obj2->getType() == Rock::TYPE) {
        world.markForDelete(this, mx::REMOVE_AT_ONCE); // spent on the first rock it meets
        return 1;
    }
    return 0;
}

/// The player's ship: LEFT and RIGHT turn it by an eighth (held, again every four frames),
/// UP thrusts, SPACE fires. The view follows it; a rock that touches it wrecks it.
class Ship : public mx::Object {
public:
    static constexpr const char* TYPE = "Ship";

    explicit Ship(mx::Vector at) {
        setType(TYPE);
        setSprite(mx::ResourceManager::getInstance().getSprite("ship"));
        setSolidness(mx::PERMEABLE);
        setAltitude(2);
        setPosition(at);
        mx::WorldManager::getInstance().setViewFollowing(this);
    }

    int eventHandler(const mx::Event* event) override {
        if (event->getType() == mx::EventStep::TYPE) {
            fly();
        } else if (event->getType() == mx::EventKeyboard::TYPE) {
            const auto* key = static_cast<const mx::EventKeyboard*>(event);
            if (key->getKeyboardAction() == mx::KEY_PRESSED) {
                pressed(key->getKey());
            } else if (!turning()) {
                stopTimer("turn");
            }
        } else if (event->getType() == mx::EventTimer::TYPE) {
            turn(turning());
        } else if (event->getType() == mx::EventCollision::TYPE &&
                   static_cast<const mx::EventCollision*>(event)->obj2->getType() == Rock::TYPE) {
            wreck();
        } else {
            return 0;
        }
        return 1;
    }

private:
    void pressed(mx::Keyboard::Key key) {
        if (key == mx::Keyboard::LEFT || key == mx::Keyboard::RIGHT) {
            turn(turning());
            startTimer("turn", 4, true);
        } else if (key == mx::Keyboard::SPACE &&
                   mx::WorldManager::getInstance().objectsOfType(Bullet::TYPE).size() < 4) {
            new Bullet(getPosition(), getVelocity() + headingWay(heading) * 1.2f);
        }
    }

    /// -1 while LEFT alone is held, 1 for RIGHT alone, else 0.
    static int turning() {
        const mx::InputManager& input = mx::InputManager::getInstance();
        return (input.isKeyHeld(mx::Keyboard::RIGHT) ? 1 : 0) - (input.isKeyHeld(mx::Keyboard::LEFT) ? 1 : 0);
    }

    void turn(int by) {
        heading = (heading + by + 8) % 8;
        setFrame(heading); // the sprite has a frame for each heading
    }

    /// Thrust while UP is held; the ship slows down by itself, and never flies too fast.
    void fly() {
        mx::Vector velocity = getVelocity() * 0.98f;
        if (mx::InputManager::getInstance().isKeyHeld(mx::Keyboard::UP)) {
            velocity += headingWay(heading) * 0.04f;
        }
        const float speed = velocity.getMagnitude();
        setVelocity(speed > 0.8f ? velocity * (0.8f / speed) : velocity);
    }

    void wreck() {
        mx::WorldManager::getInstance().markForDelete(this, mx::REMOVE_AT_ONCE); // meets no second rock
        new Burst(getPosition());
        addValue(SHIPS, -1, true);
    }

    int heading = 0;
};

/// The rules and the screens: the title, waves of rocks, a new ship after a wreck, game
/// over. It draws the screens' text wherever the view is.
class Game : public mx::Object {
public:
    static constexpr const char* TYPE = "Game";

    Game() {
        setType(TYPE);
        setSolidness(mx::INTANGIBLE);
        setAltitude(4);
        setAlwaysDrawn(true); // its text goes with the view, wherever the world has it
        const std::pair<const char*, mx::ViewObjectLocation> values[] = {
            {SCORE, mx::TOP_LEFT}, {WAVE, mx::TOP_CENTER}, {SHIPS, mx::TOP_RIGHT}};
        for (const auto& [label, where] : values) { // labelled values in the top row
            auto* value = new mx::ViewObject;
            value->setViewString(label);
            value->setBorder(false);
            value->setLocation(where);
        }
        const mx::Box view = mx::WorldManager::getInstance().getView();
        for (int i = 0; i < 6; ++i) { // behind the title
            new Rock(3, mx::Vector(view.left + random().unit() * view.getWidth(), view.top + random().unit() * view.getHeight()));
        }
    }

    int eventHandler(const mx::Event* event) override {
        if (event->getType() == mx::EventStep::TYPE && screen == PLAYING) {
            watch();
        } else if (event->getType() == mx::EventTimer::TYPE) {
            timeUp(static_cast<const mx::EventTimer*>(event)->getName());
        } else if (event->getType() == mx::EventKeyboard::TYPE) {
            const auto* key = static_cast<const mx::EventKeyboard*>(event);
            if (key->getKeyboardAction() == mx::KEY_PRESSED && key->getKey() == mx::Keyboard::SPACE && screen != PLAYING) {
                newGame();
            } else if (key->getKeyboardAction() == mx::KEY_PRESSED && key->getKey() == mx::Keyboard::Q) {
                mx::GameManager::getInstance().setGameOver(true);
            }
        } else {
            return 0;
        }
        return 1;
    }

    int draw() override {
        const mx::Box view = mx::WorldManager::getInstance().getView();
        const mx::Vector middle(view.left + view.getWidth() / 2, view.top + view.getHeight() / 2);
        mx::DisplayManager& display = mx::DisplayManager::getInstance();
        if (screen == TITLE) {
            display.drawString(middle + mx::Vector(0, -2), "R O C K S", mx::CENTER_JUSTIFIED, mx::YELLOW);
            display.drawString(middle, "LEFT RIGHT turn   UP thrust   SPACE fire", mx::CENTER_JUSTIFIED, mx::WHITE);
            display.drawString(middle + mx::Vector(0, 2), "SPACE to play, Q to quit", mx::CENTER_JUSTIFIED, mx::WHITE);
        } else if (screen == OVER) {
            if (blink) {
                display.drawString(middle + mx::Vector(0, -1), "G A M E   O V E R", mx::CENTER_JUSTIFIED, mx::RED);
            }
            display.drawString(middle + mx::Vector(0, 1), "SPACE to play again", mx::CENTER_JUSTIFIED, mx::WHITE);
        }
        return 0;
    }

private:
    enum Screen { TITLE, PLAYING, OVER };

    /// Everything but the rules and the values leaves the world at once: the new ship
    /// meets nothing of the screen before, even in this frame.
    void newGame() {
        mx::WorldManager& world = mx::WorldManager::getInstance();
        world.markAllForDeleteExcept<Game, mx::ViewObject>(mx::REMOVE_AT_ONCE);
        stopTimer("blink");
        addValue(SCORE, 0, false);
        addValue(WAVE, 0, false);
        addValue(SHIPS, 3, false);
        screen = PLAYING;
        new Ship(centreOfView());
        nextWave();
    }

    /// Bigger waves each time, placed away from the ship.
    void nextWave() {
        addValue(WAVE, 1, true);
        const int rocks = 2 + mx::ViewObject::find(WAVE)->getValue();
        for (int i = 0; i < rocks; ++i) {
            mx::Vector at = randomPlace();
            while (distance(at, centreOfView()) < 30.0f) {
                at = randomPlace();
            }
            new Rock(3, at);
        }
    }

    /// After a wreck, a new ship when the middle of the screen is clear, or the end; after
    /// the last rock, the next wave.
    void watch() {
        mx::WorldManager& world = mx::WorldManager::getInstance();
        if (world.objectsOfType(Ship::TYPE).isEmpty() && getTimerLeft("ship") < 0) {
            if (mx::ViewObject::find(SHIPS)->getValue() > 0) {
                startTimer("ship", 45);
            } else {
                screen = OVER;
                startTimer("blink", 15, true);
            }
        }
        if (world.objectsOfType(Rock::TYPE).isEmpty() && getTimerLeft("wave") < 0) {
            startTimer("wave", 60);
        }
    }

    void timeUp(const std::string& timer) {
        if (timer == "blink") {
            blink = !blink;
        } else if (timer == "wave") {
            nextWave();
        } else if (timer == "ship") {
            const mx::ObjectList rocks = mx::WorldManager::getInstance().objectsOfType(Rock::TYPE);
            const bool clear = std::none_of(rocks.begin(), rocks.end(), [this](const mx::Object* rock) {
                return distance(rock->getPosition(), centreOfView()) < 12.0f;
            });
            if (clear) {
                new Ship(centreOfView());
            } else {
                startTimer("ship", 10); // look again soon
            }
        }
    }

    static mx::Vector randomPlace() {
        return mx::Vector(WORLD.left + random().unit() * WORLD.getWidth(), WORLD.top + random().unit() * WORLD.getHeight());
    }

    static mx::Vector centreOfView() {
        const mx::Box view = mx::WorldManager::getInstance().getView();
        return mx::WorldManager::getInstance().wrap(mx::Vector((view.left + view.right) / 2, (view.top + view.bottom) / 2));
    }

    Screen screen = TITLE;
    bool blink = true;
};

} // namespace

void setUpEngine() {
    mx::DisplayManager::getInstance().setWindowTitle("Rocks");
    mx::LogManager::getInstance().setLogFile("rocks.log");
    if (const auto data = mx::ResourceManager::findDataFolder("sprites/ship.txt", "rocks")) {
        mx::ResourceManager::getInstance().setDataFolder(*data);
    }
}

void startRocks() {
    mx::ResourceManager& resources = mx::ResourceManager::getInstance();
    for (const char* name : {"ship", "rock1", "rock2", "rock3", "burst"}) {
        (void)resources.loadSprite(std::string("sprites/") + name + ".txt", name);
    }
    mx::WorldManager& world = mx::WorldManager::getInstance();
    world.setBoundary(WORLD);
    world.setWrapping(true); // what leaves at one edge comes back at the other
    world.setView(mx::Box::centredOn(mx::Vector(80, 24), 80, 24)); // before the game: it shows the title there
    new Game;
}
