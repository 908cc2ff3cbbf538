#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include <mx/Hash.h>
#include <mx/Manager.h>
#include <mx/Random.h>

namespace mx {

/// Microseconds spent in each phase of the last frame.
struct FrameProfile {
    std::int64_t input = 0;    ///< window events turned into engine events
    std::int64_t step = 0;     ///< the step event to every object
    std::int64_t update = 0;   ///< the world moving and colliding objects
    std::int64_t deletion = 0; ///< marked objects destroyed
    std::int64_t draw = 0;     ///< objects drawing themselves
    std::int64_t swap = 0;     ///< the frame shown
    std::int64_t sleep = 0;    ///< waiting for the period's end
    std::int64_t total = 0; ///< the sum of the seven phases
};

/// Starts and stops the engine's managers and runs the fixed-rate game loop.
class GameManager : public Manager {
public:
    static constexpr const char* TYPE = "GameManager"; ///< the type of the game manager
    using Clock = std::chrono::steady_clock;            ///< the frame loop's clock

    /// The one game manager. Its startUp lowers the game-over flag and starts the log,
    /// world, display, input and resource managers, in that order; its shutDown stops them,
    /// the world first.
    static GameManager& getInstance();

    /// Runs frames until the game-over flag is seen at the end of a frame. The step count
    /// starts again from 0. A request to stop the program (Ctrl-C, SIGTERM, SIGHUP; on
    /// Windows also Ctrl-Break, the console closed, the session's end) sets the flag at the
    /// end of the frame it came in, with a log line, so that the program ends cleanly: its
    /// recording finished whole.
    void run();

    /// Runs count frames as run does, continuing the step count, or fewer when the
    /// game-over flag ends one; returns how many ran. Lets a test or a tool look at the game
    /// between frames, or run a game for a set number of frames.
    std::uint32_t runFrames(std::uint32_t count);

    /// Whether frames keep real time, each sleeping to its period's end. Unless set, a
    /// windowed run does and a headless one (DisplayManager::setHeadless) does not: its
    /// frames follow one another at once.
    [[nodiscard]] bool isRealTime() const;
    /// Makes frames keep real time, or run one after another at once, windowed or not.
    void setRealTime(bool on) { realTime = on; }

    /// Ends the loop (and so the program) after the current frame.
    void setGameOver(bool over = true) { gameOver = over; }
    /// Whether the loop ends after the current frame.
    [[nodiscard]] bool getGameOver() const { return gameOver; }
    /// The frame period in milliseconds (33).
    [[nodiscard]] std::uint8_t getFrameTime() const { return frameTime; }
    /// Frames completed since run began.
    [[nodiscard]] std::uint32_t getStepCount() const { return stepCount; }
    /// How long each phase of the last frame took.
    [[nodiscard]] const FrameProfile& getProfile() const { return profile; }

    /// The engine's own random numbers, for the game to draw every random choice from.
    /// Nothing else in the process advances them, so a game seeded alike (setSeed) plays
    /// alike on every platform.
    [[nodiscard]] Random& getRandom() { return random; }

    /// What a game adds to the world hash beyond its objects: called with the hash after
    /// every object has gone into it.
    using StateHasher = std::function<void(Hash&)>;
    /// Adds a game's own state (a score, a level, whatever its objects do not hold) to the
    /// world hash; an empty function adds nothing, as before any call.
    void setStateHasher(StateHasher hasher) { stateHasher = std::move(hasher); }
    /// A 64-bit hash of the world as it stands: every object's type, position and velocity
    /// in the world's order, then the game's own state (setStateHasher). Two runs that end
    /// in the same hash ended in the same world. Recordings carry it at checkpoints, and a
    /// replay compares it with them (InputManager::startRecording, InputManager::startReplay).
    [[nodiscard]] std::uint64_t getWorldHash() const;

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

    /// Runs frames until the game-over flag or maxFrames ends the loop; returns how many ran.
    std::uint32_t loop(std::uint32_t maxFrames);

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
    std::optional<bool> realTime; ///< unset: as the display is, windowed or headless
    std::uint8_t frameTime = 33;
    std::uint32_t stepCount = 0;
    Clock::time_point frameStart;
    FrameProfile profile;
    Random random;
    StateHasher stateHasher;
};

} // namespace mx
