// Bricks: a small Breakout on the Moltrix engine. Move the paddle with the arrow keys (or
// A and D), the mouse or a gamepad's stick, keep the ball in play and clear the six rows of
// bricks; each cleared wall brings the next level, faster. P (or the gamepad's Start)
// pauses, SPACE (or its first button) starts a new game after the last ball is lost, Q
// quits. The wheel turns the volume, M the music on and off, F12 takes a screenshot. The
// best score is kept between runs, with a name typed in for it. This file is the game;
// main.cpp runs it, bricks_test.cpp tests it without a window.
#include "bricks.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <optional>
#include <sstream>

#include <mx/DisplayManager.h>
#include <mx/EventCollision.h>
#include <mx/EventJoystick.h>
#include <mx/EventKeyboard.h>
#include <mx/EventMouse.h>
#include <mx/EventMouseWheel.h>
#include <mx/EventOut.h>
#include <mx/EventStep.h>
#include <mx/EventText.h>
#include <mx/EventView.h>
#include <mx/GameManager.h>
#include <mx/InputManager.h>
#include <mx/LogManager.h>
#include <mx/ResourceManager.h>
#include <mx/ViewObject.h>
#include <mx/WorldManager.h>

namespace {

constexpr const char* SCORE = "Score";
constexpr const char* LEVEL = "Level";
constexpr const char* LIVES = "Lives";
constexpr const char* VOLUME = "Volume";

/// A gamepad's buttons, as most pads number them.
constexpr int PAD_FIRST_BUTTON = 0;
constexpr int PAD_START_BUTTON = 7;

/// Plays one of the game's sounds, if it loaded.
void playSound(const char* label) {
    if (mx::Sound* sound = mx::ResourceManager::getInstance().getSound(label)) {
        sound->play();
    }
}

/// The walls: left, right and top, around the 80 x 24 screen below the row of values.
class Wall : public mx::Object {
public:
    static constexpr const char* TYPE = "Wall";

    explicit Wall(mx::Box area) {
        setType(TYPE);
        setPosition(mx::Vector((area.left + area.right) / 2, (area.top + area.bottom) / 2));
        setBox(mx::Box::centredOn(mx::Vector::ZERO, area.getWidth(), area.getHeight()));
    }

    int draw() override {
        const mx::Box area = getWorldBox();
        const std::string row(static_cast<std::size_t>(area.getWidth()), '#');
        for (float y = area.top; y < area.bottom; ++y) {
            mx::DisplayManager::getInstance().drawString(mx::Vector(area.left, y), row, mx::LEFT_JUSTIFIED, mx::BLUE);
        }
        return 0;
    }
};

/// The paddle: walks on held keys, or towards the mouse's column. Solid, as the walls
/// are, so a wall stops it.
class Paddle : public mx::Object {
public:
    static constexpr const char* TYPE = "Paddle";

    Paddle() {
        setType(TYPE);
        setSprite(mx::ResourceManager::getInstance().getSprite("paddle"));
        setPosition(mx::Vector(40.5f, 22.5f));
    }

    int eventHandler(const mx::Event* event) override {
        if (event->getType() == mx::EventStep::TYPE) {
            steer();
            return 1;
        }
        if (event->getType() == mx::EventMouse::TYPE) {
            // The centre of the pointer's cell: the paddle stays on whole cells.
            mouseColumn = std::floor(static_cast<const mx::EventMouse*>(event)->getMousePosition().x) + 0.5f;
            return 1;
        }
        return 0;
    }

private:
    void steer() {
        const mx::InputManager& input = mx::InputManager::getInstance();
        float dx = 0.0f;
        dx -= input.isKeyHeld(mx::Keyboard::LEFT) || input.isKeyHeld(mx::Keyboard::A) ? 1.0f : 0.0f;
        dx += input.isKeyHeld(mx::Keyboard::RIGHT) || input.isKeyHeld(mx::Keyboard::D) ? 1.0f : 0.0f;
        if (dx == 0.0f) {
            dx = padCourse(input);
        }
        if (dx != 0.0f) {
            mouseColumn.reset(); // the keys have it, until the mouse moves again
        } else if (mouseColumn) {
            dx = std::clamp(*mouseColumn - getPosition().x, -1.0f, 1.0f);
        }
        setVelocity(mx::Vector(dx, 0.0f));
    }

    /// The first gamepad's stick or arrow cross, -1 to 1; 0 near the middle, where worn
    /// sticks rest.
    static float padCourse(const mx::InputManager& input) {
        for (int pad = 0; pad < mx::Joystick::COUNT; ++pad) {
            if (!input.isJoystickConnected(pad)) {
                continue;
            }
            const float stick = input.getJoystickAxis(pad, mx::Joystick::X);
            const float cross = input.getJoystickAxis(pad, mx::Joystick::POV_X);
            const float course = std::abs(stick) > std::abs(cross) ? stick : cross;
            return std::abs(course) < 20.0f ? 0.0f : course / 100.0f;
        }
        return 0.0f;
    }

    std::optional<float> mouseColumn;
};

/// The ball bounces off whatever it hits, and leaves through the bottom when missed.
class Ball : public mx::Object {
public:
    static constexpr const char* TYPE = "Ball";

    explicit Ball(int level) {
        setType(TYPE);
        setSolidness(mx::PERMEABLE);
        setPosition(mx::Vector(40.5f, 20.5f));
        setVelocity(mx::Vector(0.4f, -0.3f) * (1.0f + 0.15f * static_cast<float>(level - 1)));
    }

    int eventHandler(const mx::Event* event) override {
        if (event->getType() == mx::EventCollision::TYPE) {
            bounce(*static_cast<const mx::EventCollision*>(event));
            playSound("bounce"); // on voices of its own: quick bounces overlap
            return 1;
        }
        if (event->getType() == mx::EventOut::TYPE) {
            mx::WorldManager& world = mx::WorldManager::getInstance();
            world.markForDelete(this);
            const mx::EventView lost(LIVES, -1, true);
            world.onEvent(&lost);
            return 1;
        }
        return 0;
    }

    int draw() override { return mx::DisplayManager::getInstance().drawChCentred(getPosition(), 'o', mx::WHITE); }

private:
    void bounce(const mx::EventCollision& hit) {
        setPosition(hit.positionBefore); // back out of what it hit
        mx::Vector velocity = mx::reflect(getVelocity(), hit.normal);
        if (hit.obj2->getType() == Paddle::TYPE && hit.normal == mx::Vector::UP) {
            // Where it lands on the paddle steers it: the farther out, the more sideways.
            const float offset = getPosition().x - hit.obj2->getPosition().x;
            velocity.x = std::clamp(velocity.x + offset * 0.1f, -0.75f, 0.75f);
        }
        setVelocity(velocity);
    }
};

/// One sprite for every brick; each row has a colour of its own.
class Brick : public mx::Object {
public:
    static constexpr const char* TYPE = "Brick";

    Brick(mx::Vector at, sf::Color color) {
        setType(TYPE);
        setSprite(mx::ResourceManager::getInstance().getSprite("brick"));
        setColor(color);
        setSolidness(mx::PERMEABLE);
        setPosition(at);
    }

    int eventHandler(const mx::Event* event) override {
        // Only the ball breaks it: a new wall may overlap the old one for a frame.
        if (event->getType() != mx::EventCollision::TYPE ||
            static_cast<const mx::EventCollision*>(event)->obj2->getType() != Ball::TYPE) {
            return 0;
        }
        mx::WorldManager& world = mx::WorldManager::getInstance();
        world.markForDelete(this);
        const mx::EventView points(SCORE, 10, true);
        world.onEvent(&points);
        playSound("break");
        return 1;
    }
};

/// The game-over box, animated; its sprite's see-through corners show the bricks behind.
/// A plain object: a new game clears it with everything else.
void showGameOver() {
    auto* box = new mx::Object;
    box->setSprite(mx::ResourceManager::getInstance().getSprite("gameover"));
    box->setSolidness(mx::INTANGIBLE);
    box->setAltitude(4);
    box->setPosition(mx::Vector(40.0f, 12.5f));
}

/// Shown while the game is paused; blinks, as it keeps getting steps then.
class PauseSign : public mx::ViewObject {
public:
    static constexpr const char* TYPE = "PauseSign";

    PauseSign() {
        setType(TYPE);
        setViewString("PAUSED - P to go on");
        setDrawValue(false);
        setLocation(mx::CENTER_CENTER);
        setStepWhilePaused(true);
    }

    int eventHandler(const mx::Event* event) override {
        if (event->getType() == mx::EventStep::TYPE) {
            setColor(++steps / 15 % 2 == 0 ? mx::WHITE : mx::YELLOW);
            return 1;
        }
        return ViewObject::eventHandler(event);
    }

private:
    int steps = 0;
};

/// A labelled value in the top row, changed by view events.
void showValue(const char* label, mx::ViewObjectLocation where) {
    auto* view = new mx::ViewObject;
    view->setViewString(label);
    view->setBorder(false);
    view->setLocation(where);
}

/// Sets the value of the views labelled label.
void setValue(const char* label, int value) {
    const mx::EventView set(label, value, false);
    mx::WorldManager::getInstance().onEvent(&set);
}

/// The best score and who made it, kept in the save folder between runs.
struct Best {
    int score = 0;
    std::string name;
};

/// The longest name kept with a best score.
constexpr std::size_t NAME_LENGTH = 12;

/// Where the best score is kept; nothing when there is no save folder (the log says why).
std::optional<std::filesystem::path> bestFile() {
    const auto folder = mx::ResourceManager::getInstance().getSaveFolder();
    return folder ? std::optional(*folder / "best.txt") : std::nullopt;
}

/// The best score kept, or none yet. A file that is no best score (cut short, too long,
/// anything else) counts as none.
Best loadBest() {
    const auto file = bestFile();
    std::error_code error;
    if (!file || !std::filesystem::is_regular_file(*file, error)) {
        return {}; // none yet; and a FIFO or a device is never opened, which could wait for ever
    }
    std::ifstream in(*file);
    char line[64] = {};
    if (!in.getline(line, sizeof line)) {
        return {}; // empty, or a first line longer than any best score's
    }
    std::istringstream fields(line);
    Best best;
    if (!(fields >> best.score) || best.score < 0) {
        return {};
    }
    std::getline(fields >> std::ws, best.name);
    best.name.resize(std::min(best.name.size(), NAME_LENGTH));
    return best;
}

/// Keeps the best score: written beside the old file, then put in its place, so that a game
/// killed while writing leaves the old one.
void saveBest(const Best& best) {
    const auto file = bestFile();
    if (!file) {
        return;
    }
    mx::LogManager& log = mx::LogManager::getInstance();
    const std::filesystem::path part = file->string() + ".part";
    std::ofstream out(part);
    out << best.score << ' ' << best.name << '\n';
    out.close();
    std::error_code error;
    if (out.fail()) {
        log.writeLog("ERROR: Bricks: Cannot write the best score to '%s'", part.string().c_str());
        std::filesystem::remove(part, error);
        return;
    }
    std::filesystem::rename(part, *file, error);
    if (error) {
        log.writeLog("ERROR: Bricks: Cannot keep the best score in '%s': %s", file->string().c_str(),
                     error.message().c_str());
    }
}

/// The best score at the bottom of the screen, with its name.
class BestView : public mx::ViewObject {
public:
    static constexpr const char* TYPE = "BestView";

    BestView() {
        setType(TYPE);
        setBorder(false);
        setLocation(mx::BOTTOM_CENTER);
    }

    void show(const Best& best) {
        setViewString(best.name.empty() ? "Best" : "Best (" + best.name + ")");
        setValue(best.score);
    }
};

void showBest(const Best& best) {
    for (mx::Object* view : mx::WorldManager::getInstance().objectsOfType(BestView::TYPE)) {
        static_cast<BestView*>(view)->show(best);
    }
}

/// A new best score asks for a name: typed characters, Backspace, Enter to keep it.
class NameEntry : public mx::ViewObject {
public:
    static constexpr const char* TYPE = "NameEntry";

    explicit NameEntry(int score_) : score(score_) {
        setType(TYPE);
        setDrawValue(false);
        setLocation(mx::CENTER_CENTER);
        setAltitude(4);
        show();
    }

    int eventHandler(const mx::Event* event) override {
        if (event->getType() == mx::EventText::TYPE) {
            // The grid shows ASCII: other characters are left out, as are control characters.
            const char32_t typed = static_cast<const mx::EventText*>(event)->getUnicode();
            if (typed >= U' ' && typed <= U'~' && name.size() < NAME_LENGTH) {
                name += static_cast<char>(typed);
                show();
            }
            return 1;
        }
        if (event->getType() == mx::EventKeyboard::TYPE) {
            const auto* key = static_cast<const mx::EventKeyboard*>(event);
            if (key->getKeyboardAction() == mx::KEY_PRESSED && key->getKey() == mx::Keyboard::BACKSPACE && !name.empty()) {
                name.pop_back();
                show();
            } else if (key->getKeyboardAction() == mx::KEY_PRESSED && key->getKey() == mx::Keyboard::ENTER) {
                const Best best{score, name};
                saveBest(best);
                showBest(best);
                mx::WorldManager::getInstance().markForDelete(this);
            }
            return 1;
        }
        return ViewObject::eventHandler(event);
    }

private:
    void show() { setViewString("NEW BEST " + std::to_string(score) + "! Your name: " + name + "_"); }

    int score;
    std::string name;
};

/// The rules: levels, lives, pause, a new game, quitting.
class Game : public mx::Object {
public:
    static constexpr const char* TYPE = "Game";

    Game() {
        setType(TYPE);
        setSolidness(mx::INTANGIBLE);
        new Wall(mx::Box(0, 1, 1, 24));
        new Wall(mx::Box(79, 80, 1, 24));
        new Wall(mx::Box(1, 79, 1, 2));
        new Paddle;
        showValue(SCORE, mx::TOP_LEFT);
        showValue(LEVEL, mx::TOP_CENTER);
        showValue(LIVES, mx::TOP_RIGHT);
        showValue(VOLUME, mx::BOTTOM_RIGHT);
        setValue(VOLUME, 100);
        best = loadBest();
        (new BestView)->show(best);
        newGame();
    }

    int eventHandler(const mx::Event* event) override {
        const std::string& type = event->getType();
        if (type == mx::EventStep::TYPE) {
            step();
            return 1;
        }
        if (type == mx::EventMouseWheel::TYPE) {
            turnVolume(static_cast<const mx::EventMouseWheel*>(event)->getDelta());
            return 1;
        }
        if (type == mx::EventJoystick::TYPE) {
            return padButton(*static_cast<const mx::EventJoystick*>(event));
        }
        if (type != mx::EventKeyboard::TYPE || naming()) {
            return 0; // while a name is typed, keys are letters
        }
        const auto* key = static_cast<const mx::EventKeyboard*>(event);
        if (key->getKeyboardAction() != mx::KEY_PRESSED) {
            return 0;
        }
        if (key->getKey() == mx::Keyboard::P) {
            togglePause();
        } else if (key->getKey() == mx::Keyboard::SPACE && over) {
            newGame();
        } else if (key->getKey() == mx::Keyboard::M) {
            toggleMusic();
        } else if (key->getKey() == mx::Keyboard::F12) {
            (void)mx::DisplayManager::getInstance().takeScreenshot(); // the log says where
        } else if (key->getKey() == mx::Keyboard::Q) {
            mx::GameManager::getInstance().setGameOver(true);
        }
        return 1;
    }

private:
    /// A new game: everything but the rules, the walls, the paddle and the values goes.
    void newGame() {
        mx::WorldManager& world = mx::WorldManager::getInstance();
        world.setPaused(false);
        world.markAllForDeleteExcept<Game, Wall, Paddle, mx::ViewObject, BestView>();
        setValue(SCORE, 0);
        setValue(LEVEL, 1);
        setValue(LIVES, 3);
        over = false;
        buildWall();
    }

    void buildWall() {
        const sf::Color rows[] = {mx::RED, mx::MAGENTA, mx::YELLOW, mx::GREEN, mx::CYAN, mx::BLUE};
        for (int row = 0; row < 6; ++row) {
            for (int column = 0; column < 13; ++column) {
                new Brick(mx::Vector(4.0f + 6.0f * static_cast<float>(column), 3.5f + static_cast<float>(row)), rows[row]);
            }
        }
    }

    /// Serves a ball when none is in play; when no brick is left, takes the ball away and
    /// then builds the next level's wall.
    void step() {
        mx::WorldManager& world = mx::WorldManager::getInstance();
        if (over) {
            return;
        }
        const bool ballInPlay = !world.objectsOfType(Ball::TYPE).isEmpty();
        if (world.objectsOfType(Brick::TYPE).isEmpty()) {
            if (ballInPlay) {
                world.markAllForDelete<Ball>(); // gone after this frame; then the new wall
            } else {
                setValue(LEVEL, mx::ViewObject::find(LEVEL)->getValue() + 1);
                buildWall();
            }
        } else if (!ballInPlay) {
            if (mx::ViewObject::find(LIVES)->getValue() > 0) {
                new Ball(mx::ViewObject::find(LEVEL)->getValue());
            } else {
                over = true;
                showGameOver();
                askForName();
            }
        }
    }

    /// A score over the best asks for the player's name, which keeps it.
    void askForName() {
        const int score = mx::ViewObject::find(SCORE)->getValue();
        if (score > best.score) {
            best.score = score;
            new NameEntry(score);
        }
    }

    [[nodiscard]] static bool naming() {
        return !mx::WorldManager::getInstance().objectsOfType(NameEntry::TYPE).isEmpty();
    }

    /// The first button serves a new game once the last ball is lost, Start pauses.
    int padButton(const mx::EventJoystick& pad) {
        if (pad.getJoystickAction() == mx::JOYSTICK_CONNECTED || pad.getJoystickAction() == mx::JOYSTICK_DISCONNECTED) {
            mx::LogManager::getInstance().writeLog("INFO: Bricks: Gamepad %d %s", pad.getJoystick(),
                                                   pad.getJoystickAction() == mx::JOYSTICK_CONNECTED ? "connected" : "gone");
            return 1;
        }
        if (pad.getJoystickAction() != mx::JOYSTICK_PRESSED || naming()) {
            return 0;
        }
        if (pad.getButton() == PAD_START_BUTTON) {
            togglePause();
        } else if (pad.getButton() == PAD_FIRST_BUTTON && over) {
            newGame();
        }
        return 1;
    }

    /// The wheel turns the master volume of every sound and the music, a tenth a notch.
    static void turnVolume(float notches) {
        mx::ResourceManager& resources = mx::ResourceManager::getInstance();
        resources.setMasterVolume(resources.getMasterVolume() + 10.0f * notches);
        setValue(VOLUME, static_cast<int>(std::lround(resources.getMasterVolume())));
    }

    static void toggleMusic() {
        if (mx::Music* tune = mx::ResourceManager::getInstance().getMusic("tune")) {
            tune->isPlaying() ? tune->pause() : tune->play();
        }
    }

    void togglePause() {
        mx::WorldManager& world = mx::WorldManager::getInstance();
        world.setPaused(!world.isPaused());
        if (world.isPaused()) {
            new PauseSign;
        } else {
            world.markAllForDelete<PauseSign>();
        }
    }

    bool over = false;
    Best best;
};

} // namespace

void setUpBricks() {
    // The engine is the game's: its window title, its log, and where its data lies (the
    // working folder when it is found nowhere).
    mx::DisplayManager::getInstance().setWindowTitle("Bricks");
    mx::LogManager::getInstance().setLogFile("bricks.log");
    mx::ResourceManager& resources = mx::ResourceManager::getInstance();
    resources.setGameName("Bricks"); // its save folder: the best score, screenshots
    resources.setDataFolder(mx::ResourceManager::findDataFolder("sprites/brick.txt", "bricks").value_or(""));
}

void startBricks() {
    mx::ResourceManager& resources = mx::ResourceManager::getInstance();
    for (const char* name : {"brick", "paddle", "gameover"}) {
        (void)resources.loadSprite(std::string("sprites/") + name + ".txt", name);
    }
    (void)resources.loadSound("sounds/bounce.wav", "bounce");
    (void)resources.loadSound("sounds/break.wav", "break");
    if (resources.loadMusic("sounds/tune.wav", "tune") == 0) {
        mx::Music* tune = resources.getMusic("tune"); // loops unless told not to
        tune->setVolume(40);
        tune->play();
    }
    new Game;
}
