// View objects: their nine places wherever the view is, their texts, the view-event rule.
// (How they look on the screen: the counters in test_e2e's screenshots.)
#include <mx/EventView.h>
#include <mx/ViewObject.h>

#include "TestSupport.h"

using namespace mx;

namespace {

using View = test::WorldTest;

TEST_F(View, NinePlacesByTheViewsSizeNotItsPosition) {
    world().setView(Box(-70, 10, 33, 57)); // 80 x 24 anywhere
    for (const bool border : {true, false}) {
        for (int place = 0; place < 9; ++place) {
            auto* v = new ViewObject;
            v->setBorder(border);
            v->setLocation(static_cast<ViewObjectLocation>(place));
            const float ys[] = {border ? 1.0f : 0.0f, 12.0f, border ? 22.0f : 23.0f};
            EXPECT_FLOAT_EQ(v->getPosition().x, 80.0f * static_cast<float>(1 + 2 * (place % 3)) / 6.0f);
            EXPECT_FLOAT_EQ(v->getPosition().y, ys[place / 3]);
        }
    }
    auto* birds = new ViewObject;
    birds->setViewString("Birds");
    birds->setValue(12);
    EXPECT_EQ(birds->getText(), "|Birds 12|");
    birds->setDrawValue(false);
    birds->setBorder(false);
    EXPECT_EQ(birds->getText(), "Birds");
}

TEST_F(View, ViewEventsSetOrAddByExactLabel) {
    auto* a = new ViewObject;
    auto* b = new ViewObject;
    a->setViewString("Birds");
    b->setViewString("Birds");
    const EventView add("Birds", 5, true), wrongCase("birds", 3, true), reset("Birds", 0, false);
    world().onEvent(&add);
    world().onEvent(&add);
    EXPECT_EQ(b->getValue(), 10);
    EXPECT_EQ(a->eventHandler(&wrongCase), 0);
    EXPECT_EQ(a->getValue(), 10);
    EXPECT_EQ(a->eventHandler(&reset), 1);
    EXPECT_EQ(a->getValue(), 0);
    EXPECT_EQ(ViewObject::find("Birds"), a); // the first of the world's
    EXPECT_EQ(ViewObject::find("Birds")->getValue(), 0);
    EXPECT_EQ(ViewObject::find("birds"), nullptr);
}

} // namespace
