// The engine core: the manager protocol, the log, the frame loop.
#include <functional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "EventStep.h"
#include "GameManager.h"
#include "LogManager.h"
#include "Object.h"
#include "TestSupport.h"
#include "ViewObject.h"
#include "WorldManager.h"

using namespace mx;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

/// A manager that records its calls and can be told to fail.
class FakeManager : public Manager {
public:
    FakeManager(std::string name_, std::vector<std::string>& journal_, int result_ = 0)
        : result(result_), name(std::move(name_)), journal(journal_) {}
    int result;

private:
    int startUpImpl() override {
        journal.push_back("start " + name);
        return result;
    }
    void shutDownImpl() override { journal.push_back("stop " + name); }
    std::string name;
    std::vector<std::string>& journal;
};

TEST(ManagerProtocol, StartsOnceStopsOnceAndRetriesAfterFailure) {
    std::vector<std::string> journal;
    FakeManager m("m", journal, -1);

    EXPECT_EQ(m.startUp(), -1);
    EXPECT_FALSE(m.isStarted());
    m.shutDown(); // not started: nothing happens
    EXPECT_EQ(journal, (std::vector<std::string>{"start m"}));

    m.result = 0;
    EXPECT_EQ(m.startUp(), 0);
    EXPECT_TRUE(m.isStarted());
    EXPECT_EQ(m.startUp(), 0); // already started: impl not called again
    m.shutDown();
    m.shutDown();
    EXPECT_FALSE(m.isStarted());
    EXPECT_EQ(journal, (std::vector<std::string>{"start m", "start m", "stop m"}));
}

TEST(ManagerProtocol, FailedStartStopsEarlierManagersInReverseOrder) {
    std::vector<std::string> journal;
    FakeManager log("log", journal), world("world", journal), display("display", journal),
        input("input", journal), resources("resources", journal, -1);
    ASSERT_EQ(world.startUp(), 0); // an already started manager counts as a success
    journal.clear();

    Manager* const order[] = {&log, &world, &display, &input, &resources};
    EXPECT_EQ(GameManager::startManagers(order), -1);
    EXPECT_EQ(journal, (std::vector<std::string>{"start log", "start display", "start input", "start resources",
                                                 "stop input", "stop display", "stop world", "stop log"}));
    for (Manager* m : order) {
        EXPECT_FALSE(m->isStarted());
    }

    journal.clear();
    resources.result = 0;
    EXPECT_EQ(GameManager::startManagers(order), 0);
    EXPECT_EQ(journal.size(), 5u);
}

TEST(ManagerProtocol, EngineDoesNotStartWhenTheLogCannotBeOpened) {
    test::ScratchDir dir;
    std::filesystem::create_directory("Moltrix.log"); // a folder cannot be opened as a file
    CaptureStdout();
    EXPECT_EQ(GameManager::getInstance().startUp(), -1);
    const std::string out = GetCapturedStdout();
    EXPECT_NE(out.find("ERROR: LogManager::startUp(): Failed to open 'Moltrix.log' for writing\n"),
              std::string::npos);
    EXPECT_FALSE(GameManager::getInstance().isStarted());
    EXPECT_FALSE(LogManager::getInstance().isStarted());
    EXPECT_FALSE(WorldManager::getInstance().isStarted());
}

TEST(Events, StepEventReadsTheGameManagerAndTypesAreCaseSensitive) {
    const EventStep step;
    EXPECT_EQ(step.getType(), "StepEvent");
    EXPECT_FLOAT_EQ(step.frameSeconds, 0.033f);
    EXPECT_EQ(step.stepCount, static_cast<std::int32_t>(GameManager::getInstance().getStepCount()));
    EXPECT_NE(step.getType(), std::string("stepevent"));
    const Event plain;
    EXPECT_EQ(plain.getType(), "Event");
}

class LogTest : public testing::Test {
protected:
    void SetUp() override {
        LogManager& log = LogManager::getInstance();
        log.shutDown();
        log.setShowTime(true);
        log.setShowStepCount(true);
        log.setVerbosity(0);
    }
    void TearDown() override {
        LogManager& log = LogManager::getInstance();
        log.shutDown();
        log.setShowTime(true);
        log.setShowStepCount(true);
        log.setVerbosity(0);
    }
};

TEST_F(LogTest, LineBeforeStartUpHasPrefixesAndWarning) {
    LogManager& log = LogManager::getInstance();
    const std::uint32_t step = GameManager::getInstance().getStepCount();
    CaptureStdout();
    const int length = log.writeLog("abc");
    const std::string out = GetCapturedStdout();
    const std::string stepText = std::to_string(step);
    EXPECT_EQ(length, static_cast<int>(8 + 1 + stepText.size() + 1 + 3 + 1));
    EXPECT_TRUE(std::regex_match(out, std::regex("\\d\\d:\\d\\d:\\d\\d " + stepText + " abc\n"
                                                 "WARNING: LogManager::writeLog\\(\\): Log Manager has not started up\\. "
                                                 "Cannot write to log file\\.\n")))
        << out;
}

TEST_F(LogTest, LevelsFormatsAndPrefixSwitches) {
    LogManager& log = LogManager::getInstance();
    test::ScratchDir dir;
    ASSERT_EQ(log.startUp(), 0);

    CaptureStdout();
    EXPECT_EQ(log.writeLog(2, "Frame profile: %d", 5), 0); // above the verbosity: nothing at all
    log.setShowTime(false);
    log.setShowStepCount(false);
    EXPECT_EQ(log.writeLog("plain %s %i", "text", 42), 14);
    log.setVerbosity(3);
    EXPECT_EQ(log.writeLog(3, "INFO: Lag by %ld ms", 4L), 18);
    EXPECT_EQ(log.writeLog("ends with newline\n"), 19); // not inspected: an empty line follows
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat"
#pragma GCC diagnostic ignored "-Wformat-overflow"
    // A width beyond INT_MAX cannot be applied.
    EXPECT_EQ(log.writeLog("%2147483648d", 1), -1);
#pragma GCC diagnostic pop
    const std::string out = GetCapturedStdout();
    EXPECT_EQ(out, "plain text 42\nINFO: Lag by 4 ms\nends with newline\n\n"
                   "ERROR: LogManager::writeLog(): failed to format string: '%2147483648d'\n");

    log.shutDown();
    EXPECT_EQ(test::readFile("Moltrix.log"), out); // the file holds exactly what the console showed
}

TEST_F(LogTest, StartUpEmptiesAnEarlierLog) {
    test::ScratchDir dir;
    std::ofstream("Moltrix.log") << "left over from an earlier run\n";
    LogManager& log = LogManager::getInstance();
    log.setVerbosity(1);
    CaptureStdout();
    ASSERT_EQ(log.startUp(), 0);
    log.shutDown();
    GetCapturedStdout();
    const std::string content = test::readFile("Moltrix.log");
    EXPECT_EQ(content.find("left over"), std::string::npos);
    EXPECT_EQ(test::countLines(content, "INFO: LogManager::startUp(): Successfully started log manager"), 1);
}

TEST_F(LogTest, EachLineReachesTheFileAtOnce) {
    test::ScratchDir dir;
    LogManager& log = LogManager::getInstance();
    CaptureStdout();
    ASSERT_EQ(log.startUp(), 0);
    log.writeLog("ERROR: Something::happened(): before a crash");
    GetCapturedStdout();
    // Still running: a crash now must not lose the line.
    EXPECT_EQ(test::countLines(test::readFile("Moltrix.log"), "before a crash"), 1);
}

TEST(FrameSchedule, SleepsToThePeriodEndOneMillisecondEarly) {
    constexpr std::int64_t ms = 1000000;
    const std::int64_t start = 5000 * ms;

    // Work took exactly the period: no sleep, the schedule advances by one period.
    FrameEnd end = GameManager::planFrameEnd(start, start + 33 * ms, 33);
    EXPECT_FALSE(end.overrun);
    EXPECT_EQ(end.sleepMs, 0);
    EXPECT_EQ(end.nextFrameStartNs, start + 33 * ms);

    // 1 ms left: too little to sleep; 10 ms left: sleep 9. 23.9 ms used counts as 23.
    EXPECT_EQ(GameManager::planFrameEnd(start, start + 32 * ms, 33).sleepMs, 0);
    end = GameManager::planFrameEnd(start, start + 23 * ms + 900000, 33);
    EXPECT_EQ(end.sleepMs, 9);
    EXPECT_EQ(end.nextFrameStartNs, start + 33 * ms);

    // 33.99 ms is still within the period; 34 ms overruns and restarts the schedule from now.
    EXPECT_FALSE(GameManager::planFrameEnd(start, start + 34 * ms - 1, 33).overrun);
    end = GameManager::planFrameEnd(start, start + 34 * ms, 33);
    EXPECT_TRUE(end.overrun);
    EXPECT_EQ(end.sleepMs, 0);
    EXPECT_EQ(end.nextFrameStartNs, start + 34 * ms);
}

/// An object that writes what happens to it into a journal.
class Recorder : public Object {
public:
    Recorder(std::vector<std::string>& journal_, std::string name_, int altitude = 0)
        : journal(journal_), name(std::move(name_)) {
        setAltitude(altitude);
        setSolidness(INTANGIBLE);
    }
    ~Recorder() override { journal.push_back("destroy " + name); }
    int eventHandler(const Event* e) override {
        if (e->getType() == EventStep::TYPE) {
            journal.push_back("step " + name + " " +
                              std::to_string(static_cast<const EventStep*>(e)->stepCount));
            if (onStep) onStep();
            return 1;
        }
        return 0;
    }
    int draw() override {
        journal.push_back("draw " + name);
        return 0;
    }
    std::function<void()> onStep;

private:
    std::vector<std::string>& journal;
    std::string name;
};

class RecordedView : public ViewObject {
public:
    explicit RecordedView(std::vector<std::string>& journal_) : journal(journal_) {}
    int draw() override {
        journal.push_back("draw view");
        return 0;
    }

private:
    std::vector<std::string>& journal;
};

class FrameLoop : public test::WorldTest {
protected:
    std::vector<std::string> journal; // outlives the objects, which the fixture destroys
};

TEST_F(FrameLoop, DrawPassesGoByAltitudeAndSkipObjectsOutsideTheView) {
    auto* high = new Recorder(journal, "a7", 7);
    new Recorder(journal, "a5", 5);
    new Recorder(journal, "a0", 0);
    auto* outside = new Recorder(journal, "outside", 0);
    new RecordedView(journal);
    auto* touching = new Recorder(journal, "touching", 0);
    new Recorder(journal, "a3", 3);

    high->setPosition(Vector(10, 10));
    outside->setPosition(Vector(500, 500));
    touching->setPosition(Vector(-0.5f, 5.0f)); // its right edge lies on the view's left edge
    auto* view = static_cast<ViewObject*>(WorldManager::getInstance().getAllObjects()[4]);
    view->setPosition(Vector(-300, -300)); // view objects are drawn wherever they are

    GameManager::getInstance().drawObjects();
    EXPECT_EQ(journal, (std::vector<std::string>{"draw a0", "draw a3", "draw a7", "draw a5", "draw view"}));
}

TEST_F(FrameLoop, GameOverSetDuringTheStepLetsTheFrameFinish) {
    test::ScratchDir dir;
    auto* stopper = new Recorder(journal, "stopper");
    auto* doomed = new Recorder(journal, "doomed");
    stopper->setVelocity(Vector(1, 2));
    stopper->onStep = [&] {
        GameManager::getInstance().setGameOver(true);
        WorldManager::getInstance().markForDelete(doomed);
    };

    CaptureStdout();
    const auto before = std::chrono::steady_clock::now();
    GameManager::getInstance().run();
    const auto elapsed = std::chrono::steady_clock::now() - before;
    const std::string out = GetCapturedStdout();

    GameManager& game = GameManager::getInstance();
    EXPECT_EQ(game.getStepCount(), 1u);
    // The frame ran to its end: step, update (moved), deletion, draw, swap, sleep.
    EXPECT_EQ(journal, (std::vector<std::string>{"step stopper 0", "step doomed 0", "destroy doomed", "draw stopper"}));
    EXPECT_EQ(stopper->getPosition(), Vector(1, 2));
    EXPECT_EQ(test::countLines(out, "Cannot swap buffers before display manager has been started"), 1);
    EXPECT_GE(elapsed, std::chrono::milliseconds(31));
    EXPECT_GT(game.getProfile().sleep, 0);
    const FrameProfile& p = game.getProfile();
    EXPECT_EQ(p.total, p.input + p.step + p.update + p.deletion + p.draw + p.swap + p.sleep);
    // Default verbosity: no profile, lag or exit lines.
    EXPECT_EQ(test::countLines(out, "Frame profile"), 0);
    EXPECT_EQ(test::countLines(out, "exited gracefully"), 0);
}

TEST_F(FrameLoop, OverrunIsReportedAndStepCountsShowInEventsAndLog) {
    test::ScratchDir dir;
    auto* slow = new Recorder(journal, "slow");
    slow->onStep = [&] {
        GameManager& game = GameManager::getInstance();
        LogManager::getInstance().setShowTime(false);
        LogManager::getInstance().writeLog("frame");
        if (game.getStepCount() == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
        } else {
            game.setGameOver(true);
        }
    };
    CaptureStdout();
    GameManager::getInstance().run();
    const std::string out = GetCapturedStdout();
    LogManager::getInstance().setShowTime(true);

    EXPECT_NE(out.find("0 frame\n"), std::string::npos);
    EXPECT_NE(out.find("0 WARNING: GameManager::run(): Game loop took longer than frame time: 33\n"), std::string::npos);
    EXPECT_NE(out.find("1 frame\n"), std::string::npos);
    EXPECT_EQ(test::countLines(out, "took longer"), 1);
    EXPECT_EQ(journal[0], "step slow 0");
    EXPECT_EQ(journal[2], "step slow 1");
}

} // namespace
