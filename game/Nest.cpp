#include "Nest.h"

#include <string>

#include <mx/EventCollision.h>
#include <mx/LogManager.h>
#include <mx/ResourceManager.h>
#include <mx/Sprite.h>
#include <mx/WorldManager.h>

#include "Bird.h"
#include "EventBirdCollected.h"

Nest::Nest(int color_, mx::Vector position) : color(color_) {
    mx::ResourceManager& resources = mx::ResourceManager::getInstance();
    const std::string label = "nest" + std::to_string(color);
    mx::Sprite* sprite = resources.getSprite(label);
    if (sprite == nullptr) {
        // Each colour has a sprite of its own, so that each can be coloured.
        (void)resources.loadSprite(NEST_SPRITE_FILE, label);
        sprite = resources.getSprite(label);
    }
    if (sprite == nullptr) {
        mx::LogManager::getInstance().writeLog("Failed to load nest sprite");
    } else if (color >= 0 && color < 4) {
        sprite->setColor(BIRD_COLORS[color]);
    }
    setType(TYPE);
    setSprite(sprite);
    setPosition(position);
    setSolidness(mx::PERMEABLE);
}

int Nest::eventHandler(const mx::Event* event) {
    if (event->getType() != mx::EventCollision::TYPE) {
        return 0;
    }
    mx::Object* other = static_cast<const mx::EventCollision*>(event)->obj2;
    if (other->getType() != Bird::TYPE) {
        return 0;
    }
    auto* bird = static_cast<Bird*>(other);
    if (bird->getColor() != color) {
        return 0; // the hero, colour -1, is never collected
    }
    const EventBirdCollected collected(bird);
    mx::WorldManager::getInstance().onEvent(&collected);
    mx::WorldManager::getInstance().markForDelete(bird);
    return 1;
}
