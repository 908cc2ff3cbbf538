#include <mx/ViewObject.h>

#include <mx/DisplayManager.h>
#include <mx/EventView.h>
#include <mx/WorldManager.h>

namespace mx {

ViewObject::ViewObject() {
    setType(TYPE);
    setSolidness(INTANGIBLE);
    setAltitude(HIGHEST_ALTITUDE);
}

int ViewObject::eventHandler(const Event* event) {
    if (event->getType() != EventView::TYPE) {
        return 0;
    }
    const auto* view = static_cast<const EventView*>(event);
    if (view->tag != viewString) {
        return 0;
    }
    value = view->delta ? value + view->value : view->value;
    return 1;
}

void ViewObject::setLocation(ViewObjectLocation where) {
    location = where;
    const Box view = WorldManager::getInstance().getView();
    const float width = view.getWidth();
    const float height = view.getHeight();
    if (where < TOP_LEFT || where > BOTTOM_RIGHT) {
        setPosition(Vector::ZERO);
        return;
    }
    const int row = where / 3;
    const int column = where % 3;
    float y = 0.0f;
    switch (row) {
    case 0: y = border ? 1.0f : 0.0f; break;
    case 1: y = height * 0.5f; break;
    default: y = border ? height - 2.0f : height - 1.0f; break;
    }
    const auto x = static_cast<float>(width * static_cast<float>(1 + 2 * column) / 6.0);
    setPosition(Vector(x, y));
}

std::string ViewObject::getText() const {
    std::string text = viewString;
    if (drawValue) {
        text += ' ';
        text += std::to_string(value);
    }
    if (border) {
        text = "|" + text + "|";
    }
    return text;
}

ViewObject* ViewObject::find(std::string_view label) {
    for (Object* object : WorldManager::getInstance().getAllObjects()) {
        auto* view = dynamic_cast<ViewObject*>(object);
        if (view != nullptr && view->viewString == label) {
            return view;
        }
    }
    return nullptr;
}

int ViewObject::draw() {
    DisplayManager& display = DisplayManager::getInstance();
    const Box view = WorldManager::getInstance().getView();
    const Vector at(view.left + getPosition().x, view.top + getPosition().y);
    const std::string text = getText();
    // Before start-up the display refuses, and says so in the log.
    if (display.drawString(at, text, CENTER_JUSTIFIED, getColor()) != 0) {
        return -1;
    }
    if (border) {
        const std::string dashes(text.size(), '-');
        display.drawString(at + Vector::DOWN, dashes, CENTER_JUSTIFIED, getColor());
        display.drawString(at + Vector::UP, dashes, CENTER_JUSTIFIED, getColor());
    }
    return 0;
}

} // namespace mx
