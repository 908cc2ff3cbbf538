#pragma once

#include "Object.h"

namespace mx {

/// An on-screen value at a fixed place of the screen. (Drawing comes later.)
class ViewObject : public Object {
public:
    static constexpr const char* TYPE = "ViewObject";

    ViewObject();
};

} // namespace mx
