#include "Menu.h"

#include <string>

#include <mx/DisplayManager.h>
#include <mx/EventKeyboard.h>
#include <mx/EventStep.h>
#include <mx/GameManager.h>
#include <mx/ResourceManager.h>
#include <mx/WorldManager.h>

#include "Background.h"
#include "Bird.h"
#include "EventGameOver.h"
#include "Hero.h"
#include "Nest.h"
#include "NestCounter.h"
#include "ScoreCounter.h"
#include "Timer.h"

namespace {

constexpr int BIRDS_PER_COLOR = 250;

} // namespace

Menu::Menu() {
    setType(TYPE);
    const mx::DisplayManager& display = mx::DisplayManager::getInstance();
    screenCentre = mx::Vector(static_cast<float>(display.getHorizontal()) / 2.0f,
                              static_cast<float>(display.getVertical()) / 2.0f);
    centreView();
    setPosition(mx::Vector(screenCentre.x, screenCentre.y - 2.0f));
    if (const mx::Sprite* logo = mx::ResourceManager::getInstance().getSprite("logo")) {
        setSprite(logo);
    }
}

void Menu::centreView() const {
    // The grid's own size: a view that followed the hero for a game has drifted from it by
    // float rounding, and the next game would start from another view.
    mx::WorldManager::getInstance().setView(mx::Box::centredOn(screenCentre, screenCentre.x * 2.0f, screenCentre.y * 2.0f));
}

int Menu::eventHandler(const mx::Event* event) {
    const std::string& type = event->getType();
    if (type == mx::EventStep::TYPE) {
        if (gameRunning == 0 && restartCountdown > 0 && --restartCountdown == 0) {
            clearWorld();
            centreView(); // it has been following the hero
            titleShown = 1;
        }
        return 0;
    }
    if (type == mx::EventKeyboard::TYPE) {
        const auto* key = static_cast<const mx::EventKeyboard*>(event);
        if (key->getKeyboardAction() != mx::KEY_RELEASED) {
            return 0;
        }
        if (key->getKey() == mx::Keyboard::SPACE) {
            startGame();
            return 1;
        }
        if (key->getKey() == mx::Keyboard::Q) {
            mx::GameManager::getInstance().setGameOver(true);
            return 1;
        }
    }
    return 0;
}

void Menu::startGame() {
    gameRunning = 1;
    // The order of creation is the order of stepping, colliding and drawing.
    new Background;
    new Hero;
    for (int pass = 0; pass < BIRDS_PER_COLOR; ++pass) {
        for (int color = 0; color < 4; ++color) {
            new Bird(color);
        }
    }
    new ScoreCounter;
    new Timer;
    const mx::Box b = mx::WorldManager::getInstance().getBoundary();
    new Nest(0, mx::Vector(b.left + NEST_INSET, b.top + NEST_INSET));
    new Nest(1, mx::Vector(b.right - NEST_INSET, b.top + NEST_INSET));
    new Nest(2, mx::Vector(b.left + NEST_INSET, b.bottom - NEST_INSET));
    new Nest(3, mx::Vector(b.right - NEST_INSET, b.bottom - NEST_INSET));
    new NestCounter(0, mx::TOP_LEFT);
    new NestCounter(1, mx::TOP_RIGHT);
    new NestCounter(2, mx::BOTTOM_LEFT);
    new NestCounter(3, mx::BOTTOM_RIGHT);
    titleShown = 0;
}

void Menu::gameOver() {
    restartCountdown = GAME_OVER_STEPS;
    gameRunning = 0;

    auto* picture = new mx::Object; // removed by clearWorld with everything else
    if (const mx::Sprite* sprite = mx::ResourceManager::getInstance().getSprite("gameover")) {
        picture->setSprite(sprite);
    }
    const mx::Box view = mx::WorldManager::getInstance().getView();
    picture->setPosition(mx::Vector((view.left + view.right) / 2.0f, (view.top + view.bottom) / 2.0f));

    const EventGameOver over;
    mx::WorldManager::getInstance().onEvent(&over);
}

void Menu::clearWorld() {
    mx::WorldManager& world = mx::WorldManager::getInstance();
    const int score = ScoreCounter::findValue().value_or(-1);
    world.setViewFollowing(nullptr);
    world.markAllForDeleteExcept<Menu>();
    lastScore = score;
}

int Menu::draw() {
    if (titleShown == 0) {
        return 0;
    }
    (void)Object::draw();
    if (lastScore != -1) {
        mx::DisplayManager& display = mx::DisplayManager::getInstance();
        display.drawString(mx::Vector(screenCentre.x - 20.0f, screenCentre.y + 4.0f), "Time's Up!",
                           mx::LEFT_JUSTIFIED, mx::WHITE);
        display.drawString(mx::Vector(screenCentre.x - 15.0f, screenCentre.y + 5.0f),
                           "Score was: " + std::to_string(lastScore), mx::LEFT_JUSTIFIED, mx::WHITE);
    }
    return 0;
}
