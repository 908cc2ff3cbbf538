#pragma once

#include <mx/ViewObject.h>

/// The tag of the view events that add to the score.
inline constexpr const char* SCORE_EVENT_TAG = "ScoreEventView";
/// Points for each bird brought home.
inline constexpr int BIRD_POINTS = 2;

/// Counts, on the screen, the birds of one colour collected in this game, and sends
/// the score its points for each.
class NestCounter : public mx::ViewObject {
public:
    /// A counter for flock colour 0 to 3, shown at a place of the screen in that colour.
    NestCounter(int birdColor, mx::ViewObjectLocation location);

    /// Counts a collected bird of its colour and sends the score event; returns 1 then.
    /// It takes no view events.
    int eventHandler(const mx::Event* event) override;

    [[nodiscard]] int getBirdColor() const { return birdColor; }

private:
    int birdColor;
};
