#pragma once

#include <optional>

#include <mx/ViewObject.h>

namespace mx {
class Sound;
}

/// The game's score at the bottom centre of the screen: adds the points the nest
/// counters send and hoots for each bird brought home.
class ScoreCounter : public mx::ViewObject {
public:
    static constexpr const char* TYPE = "ScoreCounter";

    ScoreCounter();

    /// Takes view events tagged "ScoreEventView": adds (and hoots) or sets. Returns 1 then.
    int eventHandler(const mx::Event* event) override;

    /// The value of the score counter in the world, or nothing when there is none.
    [[nodiscard]] static std::optional<int> findValue();

    /// How many times the hoot was played; for tests and statistics.
    [[nodiscard]] int getHootCount() const { return hootCount; }

private:
    mx::Sound* hootSound = nullptr;
    int hootCount = 0;
};
