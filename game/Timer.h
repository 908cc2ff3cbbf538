#pragma once

#include <string>

#include <mx/ViewObject.h>

/// Seconds in a game.
inline constexpr int GAME_SECONDS = 180;
/// Step events in one timer second: the timer runs by frames, not by the clock.
inline constexpr int STEPS_PER_SECOND = 30;

/// The countdown at the top centre of the screen, shown as minutes and seconds.
/// At 0:00 it hands over to the menu's game over.
class Timer : public mx::ViewObject {
public:
    Timer();

    /// Counts step events until "GameOver" stops it for good. Returns 1 for events it used.
    int eventHandler(const mx::Event* event) override;

    /// The seconds left as "m:ss", for example 3:00, 1:05, 0:09.
    [[nodiscard]] std::string formatTime() const;

    [[nodiscard]] bool isStopped() const { return stopped; }

private:
    bool stopped = false;
    int stepsThisSecond = 0;
};
