#include "Hero.h"

#include <cmath>

#include <mx/DisplayManager.h>
#include <mx/EventMouse.h>
#include <mx/EventStep.h>
#include <mx/ResourceManager.h>
#include <mx/WorldManager.h>

#include "EventGameOver.h"

Hero::Hero() : Bird(-1) {
    mx::WorldManager& world = mx::WorldManager::getInstance();
    const mx::Box view = world.getView();
    // The pointer starts at the centre of the screen, where the hero is shown.
    cursor = mx::Vector((view.left + view.right) * 0.5f - view.left, (view.top + view.bottom) * 0.5f - view.top);
    setAltitude(2);
    setSolidness(mx::PERMEABLE);
    world.setViewFollowing(this);
    const mx::Box b = world.getBoundary();
    setPosition(mx::Vector((b.left + b.right) * 0.5f, (b.top + b.bottom) * 0.5f));
    setVelocity(mx::Vector::ZERO);
    callSound = mx::ResourceManager::getInstance().getSound("Scream");
}

Hero::~Hero() {
    mx::WorldManager::getInstance().setViewFollowing(nullptr);
    // A call still sounding would otherwise loop on after the hero is gone.
    if (calling) {
        setCalling(false);
    }
}

int Hero::eventHandler(const mx::Event* event) {
    const std::string& type = event->getType();
    if (type == mx::EventMouse::TYPE) {
        onMouse(event);
        return 1;
    }
    if (type == mx::EventStep::TYPE) {
        keepInsideBoundary();
        return 0;
    }
    if (type == EventGameOver::TYPE) {
        active = false; // keeps its course until the next mouse event
        return 1;
    }
    return 0;
}

void Hero::onMouse(const mx::Event* event) {
    const auto* mouse = static_cast<const mx::EventMouse*>(event);
    cursor = mouse->getMousePosition();
    const mx::Box view = mx::WorldManager::getInstance().getView();
    const mx::Vector p = getPosition();
    // The course is from the hero's place on the screen towards the pointer.
    const float dx = cursor.x - (p.x - view.left);
    const float dy = cursor.y - (p.y - view.top);
    const float length = std::sqrt(dx * dx + dy * dy);
    // With the pointer on the hero there is no direction: the hero stays put.
    direction = length != 0.0f ? mx::Vector(dx / length, dy / length) : mx::Vector::ZERO;

    if (mouse->getMouseAction() != mx::MOVED && mouse->getMouseButton() == 0) {
        setCalling(mouse->getMouseAction() == mx::PRESSED);
    }
    setVelocity(active ? direction * HERO_SPEED : mx::Vector::ZERO);
}

void Hero::setCalling(bool on) {
    const bool was = calling;
    calling = on;
    if (callSound == nullptr) {
        return;
    }
    if (!was && on) {
        callSound->setLooping(true);
        callSound->play();
    } else if (was && !on) {
        callSound->stop();
    }
}

int Hero::draw() {
    mx::DisplayManager& display = mx::DisplayManager::getInstance();
    const sf::Color c = calling ? HERO_CALLING_COLOR : HERO_COLOR;
    const mx::Box view = mx::WorldManager::getInstance().getView();
    const int hero = display.drawCh(getPosition(), HERO_CHAR, c);
    const int pointer = display.drawCh(mx::Vector(cursor.x + view.left, cursor.y + view.top), CURSOR_CHAR, c);
    return hero | pointer;
}
