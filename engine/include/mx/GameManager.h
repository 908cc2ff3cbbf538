#pragma once

#include <chrono>
#include <cstdint>
#include <span>

#include <mx/Manager.h>

namespace mx {

/// Microseconds spent in each phase of the last frame.
struct FrameProfile {
    std::int64_t input = 0;
    std::int64_t step = 0;
    std::int64_t update = 0;
    std::int64_t deletion = 0;
    std::int64_t draw = 0;
    std::int64_t swap = 0;
    std::int64_t sleep = 0;
    std::int64_t total = 0; ///< the sum of the seven phases
};

/// Starts and stops the engine's managers and runs the fixed-rate game loop.
class GameManager : public Manager {
public:
    static constexpr const char* TYPE = "GameManager";
    using Clock = std::chrono::steady_clock;

    static GameManager& getInstance();

    /// Runs frames until the game-over flag is seen at the end of a frame.
    void run();

    void setGameOver(bool over = true) { gameOver = over; }
    [[nodiscard]] bool getGameOver() const { return gameOver; }
    [[nodiscard]] std::uint8_t getFrameTime() const { return frameTime; }
    [[nodiscard]] std::uint32_t getStepCount() const { return stepCount; }
    [[nodiscard]] const FrameProfile& getProfile() const { return profile; }

private:
    friend class Immortal<GameManager>;
    friend struct TestHooks;
    GameManager();

    /// What the end of a frame does, decided from when the frame was scheduled to
    /// begin and the time now. Pure, so the schedule can be checked without a clock.
    struct FrameEnd {
        bool overrun = false;              ///< the frame used more than its period
        std::int64_t nextFrameStartNs = 0; ///< when the next frame begins: sleep until then
    };

    /// Runs the seven timed phases of one frame except the sleep.
    void runFrame();

    /// The draw phase alone: six passes by altitude over the world's objects.
    void drawObjects();

    /// Starts managers in order; when one fails, stops those started before it in
    /// reverse order and returns -1. Returns 0 when all started.
    [[nodiscard]] static int startManagers(std::span<Manager* const> order);

    /// Decides the end of a frame: sleep to the period's end, advancing the schedule by
    /// exactly one period, or restart it from now after an overrun.
    [[nodiscard]] static FrameEnd planFrameEnd(std::int64_t frameStartNs, std::int64_t nowNs,
                                               std::uint8_t frameTime);

    int startUpImpl() override;
    void shutDownImpl() override;

    void sleepToFrameEnd();
    void logFrameProfile();

    bool gameOver = false;
    std::uint8_t frameTime = 33;
    std::uint32_t stepCount = 0;
    Clock::time_point frameStart;
    FrameProfile profile;
};

} // namespace mx
