#pragma once

#include <mx/Event.h>

/// The round is over: the flock stops, the timer stops, the hero stops at the next mouse
/// event. Broadcast by the menu when the timer runs out. (Not the engine's
/// GameManager::setGameOver, which ends the program.)
struct EventGameOver : mx::Event {
    static constexpr const char* TYPE = "GameOver";

    EventGameOver() { setType(TYPE); }
};
