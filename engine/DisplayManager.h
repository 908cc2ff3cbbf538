#pragma once

#include "Immortal.h"
#include "Manager.h"

namespace mx {

/// The character-cell display. (Start-up, drawing and the window come next.)
class DisplayManager : public Manager {
public:
    static constexpr const char* TYPE = "DisplayManager";

    static DisplayManager& getInstance();

    /// Shows the drawn frame and clears for the next.
    void swapBuffers();

    [[nodiscard]] int getHorizontal() const { return horizontal; }
    [[nodiscard]] int getVertical() const { return vertical; }

private:
    friend class Immortal<DisplayManager>;
    DisplayManager() { setType(TYPE); }

    int startUpImpl() override { return 0; }
    void shutDownImpl() override {}

    int horizontal = 80;
    int vertical = 24;
};

} // namespace mx
