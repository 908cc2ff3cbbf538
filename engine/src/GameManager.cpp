#include <mx/GameManager.h>

#include <limits>

#include <mx/DisplayManager.h>
#include <mx/EventStep.h>
#include <mx/InputManager.h>
#include <mx/LogManager.h>
#include <mx/Object.h>
#include <mx/ResourceManager.h>
#include <mx/ViewObject.h>
#include <mx/WorldManager.h>

#include "Immortal.h"
#include "Platform.h"

namespace mx {

namespace {

std::int64_t nowNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               GameManager::Clock::now().time_since_epoch())
        .count();
}

std::int64_t nowMicroseconds() {
    return nowNanoseconds() / 1000;
}

constexpr std::int64_t NS_PER_MS = 1000000;

/// The session ends at once (Windows: the user logs off): the recording is finished within
/// the call, for the process may end when it returns.
void finishRecordingNow() {
    (void)InputManager::getInstance().stopRecording();
}

/// The frame's step event: to every object, or while the world is paused to those that
/// ask for it.
void sendStep(const WorldManager& world) {
    const EventStep step;
    if (!world.isPaused()) {
        world.onEvent(&step);
        return;
    }
    const ObjectList snapshot = world.getAllObjects(); // handlers may make objects
    for (Object* object : snapshot) {
        if (object->isStepWhilePaused()) {
            object->eventHandler(&step);
        }
    }
}

} // namespace

GameManager& GameManager::getInstance() {
    static Immortal<GameManager> instance;
    return instance.get();
}

GameManager::GameManager() : frameStart(Clock::now()) {
    setType(TYPE);
}

int GameManager::startUpImpl() {
    gameOver = false; // a new start is a new run, as after a test's earlier one
    platform::beginTimerResolution();
    Manager* const order[] = {&LogManager::getInstance(), &WorldManager::getInstance(),
                              &DisplayManager::getInstance(), &InputManager::getInstance(),
                              &ResourceManager::getInstance()};
    if (startManagers(order) != 0) {
        platform::endTimerResolution();
        return -1;
    }
    // Ctrl-C and the like end the loop after the frame, so that files are finished whole.
    platform::catchStopRequests(finishRecordingNow);
    return 0;
}

int GameManager::startManagers(std::span<Manager* const> order) {
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (order[i]->startUp() != 0) {
            // Undo in reverse; the failing manager has said why.
            for (std::size_t j = i; j-- > 0;) {
                order[j]->shutDown();
            }
            return -1;
        }
    }
    return 0;
}

void GameManager::shutDownImpl() {
    // While the world still stands: a recording's last checkpoint is its hash.
    (void)InputManager::getInstance().stopRecording(); // a failure is logged, and kept for the game to ask
    // The world goes first, so object destructors can still use the other managers.
    WorldManager::getInstance().shutDown();
    ResourceManager::getInstance().shutDown();
    InputManager::getInstance().shutDown();
    DisplayManager::getInstance().shutDown();
    LogManager::getInstance().shutDown();
    platform::endTimerResolution();
    platform::releaseStopRequests();
}

void GameManager::run() {
    stepCount = 0;
    (void)loop(std::numeric_limits<std::uint32_t>::max());
}

std::uint32_t GameManager::runFrames(std::uint32_t count) {
    return count == 0 ? 0 : loop(count);
}

bool GameManager::isRealTime() const {
    // Without a window nothing is shown: frames need not wait for their time.
    return realTime.value_or(!DisplayManager::getInstance().isHeadless());
}

std::uint32_t GameManager::loop(std::uint32_t maxFrames) {
    const bool sleep = isRealTime();
    frameStart = Clock::now();
    std::uint32_t frames = 0;
    while (frames < maxFrames) {
        runFrame();
        if (sleep) {
            sleepToFrameEnd();
        }
        logFrameProfile();
        ++stepCount;
        ++frames;
        if (const char* request = platform::takeStopRequest(); request != nullptr && !gameOver) {
            LogManager::getInstance().writeLog("INFO: GameManager::run(): Asked to stop (%s): the game ends here", request);
            gameOver = true;
        }
        if (gameOver) {
            break;
        }
    }
    LogManager::getInstance().writeLog(1, "INFO: GameManager::run(): Game loop exited gracefully");
    return frames;
}

void GameManager::runFrame() {
    WorldManager& world = WorldManager::getInstance();

    const std::int64_t t0 = nowMicroseconds();
    InputManager::getInstance().getInput();
    const std::int64_t t1 = nowMicroseconds();
    sendStep(world);
    const std::int64_t t2 = nowMicroseconds();
    world.update();
    const std::int64_t t3 = nowMicroseconds();
    world.deleteMarked();
    const std::int64_t t4 = nowMicroseconds();
    drawObjects();
    const std::int64_t t5 = nowMicroseconds();
    DisplayManager::getInstance().swapBuffers();
    InputManager::getInstance().endFrame(); // checkpoints: the world as this frame left it
    const std::int64_t t6 = nowMicroseconds();

    profile = FrameProfile{t1 - t0, t2 - t1, t3 - t2, t4 - t3, t5 - t4, t6 - t5, 0, t6 - t0};
}

void GameManager::drawObjects() {
    const WorldManager& world = WorldManager::getInstance();
    const ObjectList& objects = world.getAllObjects();
    const Box view = world.getView();
    for (int altitude = 0; altitude <= HIGHEST_ALTITUDE; ++altitude) {
        // The length is re-read at each step: drawing may create objects.
        for (std::size_t i = 0; i < objects.size(); ++i) {
            Object* object = objects[i];
            const int a = object->getAltitude();
            const bool inPass = a == altitude || (altitude == HIGHEST_ALTITUDE && a > HIGHEST_ALTITUDE);
            if (!inPass) {
                continue;
            }
            // On-screen counters are drawn wherever the view is.
            if (boxesIntersect(object->getWorldBox(), view) ||
                dynamic_cast<ViewObject*>(object) != nullptr) {
                (void)object->draw();
            }
        }
    }
}

std::uint64_t GameManager::getWorldHash() const {
    Hash hash;
    for (const Object* object : WorldManager::getInstance().getAllObjects()) {
        hash.add(object->getType()).add(object->getPosition()).add(object->getVelocity());
    }
    if (stateHasher) {
        stateHasher(hash);
    }
    return hash.get();
}

GameManager::FrameEnd GameManager::planFrameEnd(std::int64_t frameStartNs, std::int64_t nowNs,
                                   std::uint8_t frameTime) {
    const std::int64_t elapsedMs = (nowNs - frameStartNs) / NS_PER_MS;
    FrameEnd end;
    if (elapsedMs > frameTime) {
        // The lost time is not made up: the schedule restarts from now.
        end.overrun = true;
        end.nextFrameStartNs = nowNs;
        return end;
    }
    // The next frame begins exactly one period after this one, whenever the sleep ends:
    // the schedule does not drift.
    end.nextFrameStartNs = frameStartNs + frameTime * NS_PER_MS;
    return end;
}

void GameManager::sleepToFrameEnd() {
    LogManager& log = LogManager::getInstance();
    const std::int64_t frameStartNs =
        std::chrono::duration_cast<std::chrono::nanoseconds>(frameStart.time_since_epoch()).count();
    const FrameEnd end = planFrameEnd(frameStartNs, nowNanoseconds(), frameTime);
    const std::int64_t s0 = nowMicroseconds();
    frameStart = Clock::time_point(std::chrono::duration_cast<Clock::duration>(
        std::chrono::nanoseconds(end.nextFrameStartNs)));
    if (end.overrun) {
        log.writeLog("WARNING: GameManager::run(): Game loop took longer than frame time: %i",
                     static_cast<int>(frameTime));
    } else {
        platform::sleepUntil(frameStart);
    }
    if (!end.overrun) {
        const std::int64_t lagNs = nowNanoseconds() - end.nextFrameStartNs;
        if (lagNs >= 2 * NS_PER_MS) {
            log.writeLog(3, "INFO: Lag by %ld ms", static_cast<long>(lagNs / NS_PER_MS));
        }
    }
    profile.sleep = nowMicroseconds() - s0;
    profile.total += profile.sleep;
}

void GameManager::logFrameProfile() {
    const auto total = static_cast<float>(profile.total);
    const auto percent = [total](std::int64_t phase) {
        return static_cast<double>(static_cast<float>(phase) / total * 100.0f);
    };
    LogManager::getInstance().writeLog(
        2, "Frame profile: %2.0f%% %2.0f%% %2.0f%% %2.0f%% %2.0f%% %2.0f%% %2.0f%%, %.2fs",
        percent(profile.input), percent(profile.step), percent(profile.update),
        percent(profile.deletion), percent(profile.draw), percent(profile.swap),
        percent(profile.sleep), static_cast<double>(profile.total) / 1000000.0);
}

} // namespace mx
