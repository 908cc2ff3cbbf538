// View objects and sprite drawing on a real window: places, texts, events, frames, transparency.
#include <algorithm>
#include <string>
#include <vector>

#include "DisplayTestSupport.h"
#include "EventView.h"
#include "GameManager.h"
#include "Object.h"
#include "Sprite.h"
#include "ViewObject.h"

using namespace mx;

namespace {

const sf::Color MARK(0, 200, 0);

class Screen : public test::LiveWorldTest {
protected:
    void SetUp() override {
        LiveWorldTest::SetUp();
        world().setView(Box(0, 80, 0, 24));
    }
    static void clearToMark() {
        display().getWindow()->clear(MARK);
        display().invalidateClear();
    }
    /// The colour at the centre of a cell's left half, which a glyph of this font never reaches.
    static sf::Color cellBackground(const sf::Image& image, float x, float y) {
        return image.getPixel({static_cast<unsigned>(12.8f * x + 0.5f), static_cast<unsigned>(32.0f * y + 16.0f)});
    }
};

TEST_F(Screen, ViewObjectsStandAtTheirNinePlaces) {
    const ViewObjectLocation all[] = {TOP_LEFT, TOP_CENTER, TOP_RIGHT, CENTER_LEFT, CENTER_CENTER,
                                      CENTER_RIGHT, BOTTOM_LEFT, BOTTOM_CENTER, BOTTOM_RIGHT};
    const float xs[] = {80.0f / 6.0f, 40.0f, 400.0f / 6.0f};
    for (const bool border : {true, false}) {
        const float ys[] = {border ? 1.0f : 0.0f, 12.0f, border ? 22.0f : 23.0f};
        for (const ViewObjectLocation location : all) {
            auto* v = new ViewObject;
            EXPECT_EQ(v->getPosition(), Vector(0, 0)); // no place until one is set
            EXPECT_EQ(v->getLocation(), TOP_CENTER);
            v->setBorder(border);
            v->setLocation(location);
            EXPECT_FLOAT_EQ(v->getPosition().x, xs[location % 3]) << location;
            EXPECT_FLOAT_EQ(v->getPosition().y, ys[location / 3]) << location;
            v->setBorder(!border); // does not move it
            EXPECT_FLOAT_EQ(v->getPosition().y, ys[location / 3]);
        }
    }
    auto* odd = new ViewObject;
    odd->setLocation(static_cast<ViewObjectLocation>(9));
    EXPECT_EQ(odd->getLocation(), 9);
    EXPECT_EQ(odd->getPosition(), Vector(0, 0));
    EXPECT_EQ(odd->getType(), "ViewObject");
    EXPECT_EQ(odd->getSolidness(), INTANGIBLE);
    EXPECT_EQ(odd->getAltitude(), HIGHEST_ALTITUDE);
}

TEST_F(Screen, ViewEventsSetOrAddByExactLabel) {
    auto* a = new ViewObject;
    auto* b = new ViewObject;
    auto* other = new ViewObject;
    a->setViewString("Birds");
    b->setViewString("Birds");
    other->setViewString("Score:");
    const EventView add("Birds", 5, true);
    world().onEvent(&add);
    world().onEvent(&add);
    EXPECT_EQ(a->getValue(), 10); // both objects with the label take it
    EXPECT_EQ(b->getValue(), 10);
    EXPECT_EQ(other->getValue(), 0);
    const EventView wrongCase("birds", 3, true);
    EXPECT_EQ(a->eventHandler(&wrongCase), 0);
    EXPECT_EQ(a->getValue(), 10);
    const EventView reset("Birds", 0, false);
    EXPECT_EQ(a->eventHandler(&reset), 1);
    EXPECT_EQ(a->getValue(), 0);
    Event step;
    step.setType("StepEvent");
    EXPECT_EQ(a->eventHandler(&step), 0);
}

TEST_F(Screen, TextsBordersAndDashLinesWhereverTheViewIs) {
    auto* birds = new ViewObject;
    birds->setViewString("Birds");
    birds->setValue(12);
    birds->setLocation(TOP_LEFT);
    EXPECT_EQ(birds->getText(), "|Birds 12|");
    birds->setDrawValue(false);
    EXPECT_EQ(birds->getText(), "|Birds|");
    birds->setValue(-3);
    birds->setDrawValue(true);
    birds->setBorder(false);
    EXPECT_EQ(birds->getText(), "Birds -3");
    birds->setBorder(true);
    birds->setValue(12);

    // Ten characters centred on (13.33, 1): cells from 8.33; dashes on rows 0 and 2.
    clearToMark();
    EXPECT_EQ(birds->draw(), 0);
    sf::Image image = display().capture();
    for (const float row : {0.0f, 1.0f, 2.0f}) {
        EXPECT_EQ(cellBackground(image, 8.5f, row), BLACK) << row;
        EXPECT_EQ(cellBackground(image, 17.5f, row), BLACK) << row;
        EXPECT_EQ(cellBackground(image, 18.5f, row), MARK) << row;
    }
    EXPECT_EQ(cellBackground(image, 8.5f, 3.0f), MARK);

    // Moving the view does not move it on the screen.
    world().setView(Box(-70.5f, 9.5f, 33, 57));
    clearToMark();
    birds->draw();
    const sf::Image moved = display().capture();
    EXPECT_TRUE(std::equal(image.getPixelsPtr(), image.getPixelsPtr() + 1024 * 768 * 4, moved.getPixelsPtr()));
}

/// A sprite of given frames (rows joined), all of one size.
Sprite makeSprite(int width, int height, std::vector<std::string> frames, sf::Color color, int slowdown = 1) {
    Sprite sprite(static_cast<int>(frames.size()));
    sprite.setWidth(width);
    sprite.setHeight(height);
    sprite.setColor(color);
    sprite.setSlowdown(slowdown);
    for (std::string& f : frames) sprite.addFrame(Frame(width, height, std::move(f)));
    return sprite;
}

TEST_F(Screen, FramesAreCentredRowByRowAndTransparentCellsStayUntouched) {
    // 3 x 3 at (10, 10): rows at y 8.5, 9.5, 10.5 and columns 8.5 to 10.5.
    Sprite sprite = makeSprite(3, 3, {"a#b###c#d"}, RED);
    sprite.setTransparency('#');
    auto* o = new Object;
    o->setSprite(&sprite);
    o->setPosition(Vector(10, 10));
    clearToMark();
    EXPECT_EQ(o->draw(), 0);
    const sf::Image image = display().capture();
    EXPECT_EQ(cellBackground(image, 8.5f, 8.5f), BLACK);  // a
    EXPECT_EQ(cellBackground(image, 9.5f, 8.5f), MARK);   // # leaves a gap
    EXPECT_EQ(cellBackground(image, 10.5f, 8.5f), BLACK); // b
    EXPECT_EQ(cellBackground(image, 9.5f, 9.5f), MARK);   // a whole transparent row
    EXPECT_EQ(cellBackground(image, 8.5f, 10.5f), BLACK); // c
    EXPECT_EQ(cellBackground(image, 11.5f, 10.5f), MARK); // beyond the frame

    // A frame shorter than width x height draws what it has; height 0 draws nothing.
    clearToMark();
    EXPECT_EQ(drawFrame(Frame(3, 3, "abcd"), Vector(10, 10), RED, 0), 0);
    EXPECT_EQ(drawFrame(Frame(3, 0, "abcd"), Vector(30, 10), RED, 0), 0);
    const sf::Image shortFrame = display().capture();
    EXPECT_EQ(cellBackground(shortFrame, 9.5f, 9.5f), BLACK); // "d" alone, centred
    EXPECT_EQ(cellBackground(shortFrame, 8.5f, 9.5f), MARK);
    EXPECT_EQ(cellBackground(shortFrame, 8.5f, 10.5f), MARK);
    EXPECT_EQ(cellBackground(shortFrame, 29.0f, 10.0f), MARK);
}

TEST_F(Screen, ObjectsOutsideTheViewKeepTheirAnimationState) {
    Sprite sprite = makeSprite(1, 1, {"1", "2", "3"}, WHITE, 2);
    auto* o = new Object;
    o->setSprite(&sprite);
    o->setPosition(Vector(5, 5));
    GameManager& game = GameManager::getInstance();
    game.drawObjects();
    game.drawObjects();
    game.drawObjects();
    EXPECT_EQ(o->getAnimation().index, 1);
    EXPECT_EQ(o->getAnimation().slowdownCount, 1);
    o->setPosition(Vector(500, 5)); // out of view: not drawn, frozen
    for (int i = 0; i < 5; ++i) game.drawObjects();
    EXPECT_EQ(o->getAnimation().index, 1);
    EXPECT_EQ(o->getAnimation().slowdownCount, 1);
    o->setSprite(&sprite); // restarts even for the same sprite
    EXPECT_EQ(o->getAnimation().index, 0);
    display().swapBuffers();
}

TEST_F(Screen, ScreenshotOfAnAnimatedSpriteAndTheNinePlaces) {
    display().setBackgroundColor(sf::Color(0, 25, 0));
    Sprite bird = makeSprite(7, 3,
                             {R"(\     / \_o_/        )",
                              R"(       --(o)--       )",
                              R"(        /'o'\ /     \)"},
                             sf::Color(255, 127, 0), 2);
    bird.setTransparency(' ');
    // Five birds at different moments of the same animation.
    for (int i = 0; i < 5; ++i) {
        auto* o = new Object;
        o->setSprite(&bird);
        o->setPosition(Vector(16.0f + 12.0f * static_cast<float>(i), 6.5f));
    }
    const char* const names[] = {"TOP_LEFT", "TOP_CENTER", "TOP_RIGHT", "CENTER_LEFT", "CENTER_CENTER",
                                 "CENTER_RIGHT", "BOTTOM_LEFT", "BOTTOM_CENTER", "BOTTOM_RIGHT"};
    const sf::Color colors[] = {sf::Color(255, 0, 255), sf::Color(255, 255, 0), sf::Color(255, 127, 0),
                                sf::Color(0, 255, 255), WHITE, sf::Color(0, 255, 255),
                                sf::Color(255, 0, 255), WHITE, sf::Color(255, 127, 0)};
    for (int place = 0; place < 9; ++place) {
        auto* v = new ViewObject;
        v->setViewString(names[place]);
        v->setValue(place);
        v->setColor(colors[place]);
        v->setBorder(place % 3 != 1 || place == 4);
        v->setLocation(static_cast<ViewObjectLocation>(place));
    }
    // Advance each bird's animation by its own number of drawn frames, then draw the scene.
    const ObjectList all = world().getAllObjects();
    for (int i = 0; i < 5; ++i) {
        for (int k = 0; k < i; ++k) {
            all[static_cast<std::size_t>(i)]->draw();
        }
    }
    display().setBackgroundColor(sf::Color(0, 25, 0)); // drop those practice draws
    GameManager::getInstance().drawObjects();
    const sf::Image image = display().capture();
    ASSERT_TRUE(image.saveToFile(test::screenshotDir() / "sprites-and-views.png"));
    std::vector<int> frames;
    for (int i = 0; i < 5; ++i) frames.push_back(all[static_cast<std::size_t>(i)]->getAnimation().index);
    EXPECT_EQ(frames, (std::vector<int>{0, 1, 1, 2, 2})); // drawn 1..5 times with slowdown 2
}

} // namespace
