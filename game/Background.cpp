#include "Background.h"

#include <mx/ResourceManager.h>
#include <mx/Sprite.h>
#include <mx/WorldManager.h>

Background::Background() {
    mx::Sprite* sprite = mx::ResourceManager::getInstance().getSprite("background");
    // Without a usable sprite there is nothing to tile with.
    if (sprite == nullptr || sprite->getWidth() < 1 || sprite->getHeight() < 1) {
        return;
    }
    sprite->setColor(BACKGROUND_TINT);
    const mx::Box b = mx::WorldManager::getInstance().getBoundary();
    const auto w = static_cast<float>(sprite->getWidth());
    const auto h = static_cast<float>(sprite->getHeight());
    // Column by column from the left, each column from the top.
    for (float x = b.left; x < b.right; x += w) {
        for (float y = b.top; y < b.bottom; y += h) {
            auto* tile = new mx::Object;
            tile->setSprite(sprite);
            tile->setPosition(mx::Vector(w * 0.5f + x, h * 0.5f + y));
            tile->setAltitude(0);
            tile->setSolidness(mx::INTANGIBLE);
            tiles.insert(tile);
        }
    }
}

Background::~Background() {
    mx::WorldManager& world = mx::WorldManager::getInstance();
    for (mx::Object* tile : tiles) {
        world.markForDelete(tile);
    }
}
