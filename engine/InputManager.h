#pragma once

#include "Immortal.h"
#include "Manager.h"

namespace mx {

/// Turns the window's events into keyboard and mouse events for every object.
class InputManager : public Manager {
public:
    static constexpr const char* TYPE = "InputManager";

    static InputManager& getInstance();

    /// Drains the window's event queue, once per frame.
    void getInput();

private:
    friend class Immortal<InputManager>;
    InputManager() { setType(TYPE); }

    int startUpImpl() override;
    void shutDownImpl() override {}
};

} // namespace mx
