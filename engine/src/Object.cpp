#include <mx/Object.h>

#include <mx/Sprite.h>
#include <mx/WorldManager.h>

namespace mx {

namespace {
// Process-wide, incremented once per constructed object, never reused.
int nextObjectId = 0;
} // namespace

Object::Object() : id(nextObjectId++) {
    WorldManager::getInstance().insertObject(this);
}

Object::~Object() {
    WorldManager::getInstance().removeObject(this);
}

void Object::setFrame(int index) {
    const int frames = animation.sprite != nullptr ? animation.sprite->getFrameCount() : 0;
    animation.index = frames > 0 ? (index % frames + frames) % frames : 0;
    animation.slowdownCount = 0;
}

void Object::startTimer(std::string name, int steps, bool repeating) {
    WorldManager::getInstance().startTimer(this, std::move(name), steps, repeating);
}

bool Object::stopTimer(std::string_view name) {
    return timerCount > 0 && WorldManager::getInstance().stopTimer(this, name);
}

int Object::getTimerLeft(std::string_view name) const {
    const auto* timer = timerCount > 0 ? WorldManager::getInstance().findTimer(this, name) : nullptr;
    return timer != nullptr ? timer->left : -1;
}

void Object::tellCollisionPass() {
    WorldManager::getInstance().objectChanged(*this);
}

int Object::eventHandler(const Event*) {
    return 0;
}

void Object::setSprite(const Sprite* sprite) {
    animation = Animation{};
    animation.sprite = sprite;
    if (sprite == nullptr) {
        setBox(Box{-0.5f, 0.5f, -0.5f, 0.5f});
        return;
    }
    animation.name = sprite->getLabel();
    setBox(Box::centredOn(Vector::ZERO, static_cast<float>(sprite->getWidth()),
                          static_cast<float>(sprite->getHeight())));
}

sf::Color Object::getColor() const {
    if (color) {
        return *color;
    }
    return animation.sprite != nullptr ? animation.sprite->getColor() : sf::Color::White;
}

Box Object::getWorldBox() const {
    return Box::centredOn(position, box.getWidth(), box.getHeight());
}

} // namespace mx

namespace mx {

int Object::draw() {
    const Sprite* sprite = animation.sprite;
    if (sprite == nullptr) {
        return -1;
    }
    const int frameCount = sprite->getFrameCount();
    int result = -1;
    if (animation.index >= 0 && animation.index < frameCount) {
        result = drawFrame(sprite->getFrame(animation.index), position, getColor(), sprite->getTransparency());
    }
    const int slowdown = sprite->getSlowdown();
    if (slowdown == 0 || !animating || (!stepWhilePaused && WorldManager::getInstance().isPaused())) {
        return result; // frozen on the current frame
    }
    if (++animation.slowdownCount >= slowdown) {
        animation.slowdownCount = 0;
        // A sprite without frames has nowhere to go: stay at 0 rather than divide by zero.
        animation.index = frameCount > 0 ? (animation.index + 1) % frameCount : 0;
    }
    return result;
}

} // namespace mx
