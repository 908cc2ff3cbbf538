#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include <SFML/Graphics/Image.hpp>

#include <mx/DisplayManager.h>
#include <mx/GameManager.h>
#include <mx/InputManager.h>

namespace mx {

/// Ways into the engine that tests and benchmarks need and games do not: one frame without its sleep, the draw phase alone, the manager start-up
/// order and the frame schedule as pure functions, and what the display is about to show.
/// A game has no use for them; a game's own tests may.
struct TestHooks {
    /// Runs the seven timed phases of one frame, all but the sleep (GameManager::getProfile
    /// then holds their durations).
    static void runFrame() { GameManager::getInstance().runFrame(); }

    /// What the end of a frame does for input, without the frame: a recording's checkpoint,
    /// a replay's check against its own.
    static void endInputFrame() { InputManager::getInstance().endFrame(); }

    /// The draw phase alone: six passes by altitude over the world's objects.
    static void drawObjects() { GameManager::getInstance().drawObjects(); }

    /// Starts managers in order; when one fails, stops those started before it in reverse
    /// order and returns -1. Returns 0 when all started.
    [[nodiscard]] static int startManagers(std::span<Manager* const> order) {
        return GameManager::startManagers(order);
    }

    /// Decides the end of a frame from when it was scheduled to begin and the time now:
    /// sleep to the period's end, advancing the schedule by exactly one period, or restart
    /// it from now after an overrun.
    [[nodiscard]] static GameManager::FrameEnd planFrameEnd(std::int64_t frameStartNs, std::int64_t nowNs,
                                                            std::uint8_t frameTime) {
        return GameManager::planFrameEnd(frameStartNs, nowNs, frameTime);
    }

    /// Draws what is pending into the window's hidden buffer and returns that picture (the
    /// whole window), which the next swapBuffers shows; empty when the display is not started.
    [[nodiscard]] static sf::Image capture() { return DisplayManager::getInstance().capture(); }

    /// Tells the display that something other than its cells was drawn straight into the
    /// window since its last clear: until the next clear every cell paints its background.
    static void invalidateClear() { DisplayManager::getInstance().invalidateClear(); }

    /// The segments the pending frame needs (two draw calls each at most): how well it batches.
    [[nodiscard]] static std::size_t pendingSegmentCount() {
        return DisplayManager::getInstance().getPendingSegmentCount();
    }

    /// The cell backgrounds the pending frame will paint.
    [[nodiscard]] static std::size_t pendingBackgroundCount() {
        return DisplayManager::getInstance().getPendingBackgroundCount();
    }

    /// Hands the input manager a window event, as if the window had reported it: it is taken
    /// in the next frame's input, after the window's own, and turned into the game's input
    /// (and recorded) exactly as one from the window. Works headless too.
    static void injectWindowEvent(const sf::Event& event) { InputManager::getInstance().injected.push_back(event); }

    /// Tells the game how the joysticks stand now, as the input manager does in the first frame
    /// of each new window with what SFML reports: an event for every difference from what the
    /// game knows.
    static void syncJoysticks(const std::array<JoystickState, Joystick::COUNT>& live) {
        InputManager::getInstance().syncJoysticks(live);
    }

    /// Lays the display out for the window's present size, as the input manager does when
    /// the window reports a new size.
    static void fitToWindow() { DisplayManager::getInstance().fitToWindow(); }
};

} // namespace mx
