// Without a window: the headless engine, the grid of cells as text, input files recorded,
// replayed and refused.
#include <sys/stat.h>

#include <cmath>
#include <csignal>
#include <limits>

#include <mx/EventJoystick.h>
#include <mx/EventMouse.h>
#include <mx/EventMouseWheel.h>
#include <mx/EventText.h>
#include <mx/Hash.h>
#include <mx/LogManager.h>
#include <mx/Version.h>
#include <mx/testing/TestHooks.h>

#include "TestSupport.h"
#include "WorldHash.h"

using namespace mx;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;
using Strings = std::vector<std::string>;

namespace {

class Headless : public test::HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        ASSERT_EQ(game().startUp(), 0);
        WorldManager::getInstance().setView(Box(0, 80, 0, 24));
    }
};

/// Writes what reaches it: each event with its frame, and at each step what is held.
struct Journal : Object {
    int eventHandler(const Event* e) override {
        const auto frame = std::to_string(steps);
        const InputManager& input = InputManager::getInstance();
        if (e->getType() == EventStep::TYPE) {
            lines.push_back(frame + " step" + (input.isKeyHeld(Keyboard::RIGHT) ? " RIGHT" : "") +
                            (input.isKeyHeld(Keyboard::A) ? " A" : "") + (input.isMouseButtonHeld(0) ? " left" : "") +
                            (input.isJoystickConnected(0) ? " pad" : "") + (input.isJoystickButtonHeld(0, 2) ? " pad2" : "") +
                            (input.getJoystickAxis(0, Joystick::X) != 0 ? " x=" + std::to_string(input.getJoystickAxis(0, Joystick::X)) : ""));
            ++steps;
        } else if (const auto* k = dynamic_cast<const EventKeyboard*>(e)) {
            lines.push_back(frame + " key " + std::to_string(k->getKey()) + (k->getKeyboardAction() == KEY_PRESSED ? " down" : " up"));
        } else if (const auto* m = dynamic_cast<const EventMouse*>(e)) {
            const Vector p = m->getMousePosition();
            lines.push_back(frame + " mouse " + std::to_string(m->getMouseAction()) + " " + std::to_string(m->getMouseButton()) +
                            " " + std::to_string(p.x) + "," + std::to_string(p.y));
        } else if (const auto* t = dynamic_cast<const EventText*>(e)) {
            lines.push_back(frame + " text " + std::to_string(t->getUnicode()) + " " + t->getUtf8());
        } else if (const auto* w = dynamic_cast<const EventMouseWheel*>(e)) {
            const Vector p = w->getMousePosition();
            lines.push_back(frame + " wheel " + std::to_string(w->getWheel()) + " " + std::to_string(w->getDelta()) + " " +
                            std::to_string(p.x) + "," + std::to_string(p.y));
        } else if (const auto* j = dynamic_cast<const EventJoystick*>(e)) {
            lines.push_back(frame + " joystick " + std::to_string(j->getJoystick()) + " " + std::to_string(j->getJoystickAction()) +
                            " " + std::to_string(j->getButton()) + " " + std::to_string(j->getAxis()) + " " +
                            std::to_string(j->getPosition()));
        }
        return 0;
    }
    int steps = 0;
    Strings lines;
};

TEST_F(Headless, ReplayHandsEachFrameItsEventsInOrderAndEndsTheRun) {
    const FrameProfile& profile = game().getProfile();
    EXPECT_EQ(display().getWindow(), nullptr);
    auto* journal = new Journal;
    replay(script("# a comment, then a blank line\n\n"
                  "0 key pressed RIGHT\n0 mouse moved 10.5 3.25\n"
                  "2 key released RIGHT\n2 key pressed A\n2 key released A\n"
                  "3 mouse pressed left 1 2\n4 forget-held\n\t6   close  \r\n"
                  "end 40\n"));
    game().run();
    EXPECT_EQ(journal->lines, (Strings{"0 key 5 down", "0 mouse 2 -1 10.500000,3.250000", "0 step RIGHT", "1 step RIGHT",
                                       "2 key 5 up", "2 key 36 down", "2 key 36 up", "2 step A", // a tap counts for its frame
                                       "3 mouse 0 0 1.000000,2.000000", "3 step left", "4 step", "5 step", "6 step"}));
    EXPECT_EQ(game().getStepCount(), 7u); // the close button ended the run
    EXPECT_EQ(profile.sleep, 0);          // without a window nothing waits for its time

    // Without a close, the run ends with the file's last frame; a real-time run sleeps.
    replay(script("end 3\n"));
    game().setGameOver(false);
    game().setRealTime(true);
    EXPECT_EQ(game().runFrames(10), 3u);
    game().setRealTime(false);
    EXPECT_TRUE(game().getGameOver());
    EXPECT_GT(profile.sleep, 0);
}

TEST_F(Headless, RecordingAReplayWritesTheSameFileWhichReplacesItsTargetOnlyAtTheEnd) {
    const std::string empty = Hash::toText(game().getWorldHash()); // no object: the same at every checkpoint
    const std::string original = script("0 mouse moved 12.8 0.33333334\n0 mouse pressed extra2 0 -0\n"
                                        "3 key released UNDEFINED\n3 key pressed NUM0\n3 forget-held\n"
                                        "9 mouse released right 79.99 23.96875\n9 key pressed LSHIFT\n9 key released DEL\n"
                                        "9 text U+0007\n9 text U+00E9\n9 text U+10FFFF\n10 wheel vertical -0.1 1 2.5\n"
                                        "10 wheel horizontal 3 0 0\n10 joystick 7 connected\n10 joystick 7 moved povy -100\n"
                                        "10 joystick 7 moved x 0.33333334\n10 joystick 7 pressed 31\n10 joystick 7 released 0\n"
                                        "10 joystick 7 disconnected\n11 close\n11 check " + empty + "\nend 12\n",
                                        std::numeric_limits<std::uint32_t>::max(), 2);
    const std::string older = script("end 1\n");
    std::ofstream("copy.txt") << older;
    replay(original);
    EXPECT_EQ(input().getReplaySeed(), std::numeric_limits<std::uint32_t>::max());
    ASSERT_EQ(input().startRecording("copy.txt", input().getReplaySeed()), 0);
    EXPECT_EQ(game().runFrames(5), 5u);
    // Under way: the session goes into the file beside the target, which is as it was. The
    // header is written at once, by the recording's own thread: it shows within moments.
    EXPECT_EQ(test::readFile("copy.txt"), older);
    for (int i = 0; i < 500 && test::readFile("copy.txt.partial").empty(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(test::readFile("copy.txt.partial").substr(0, 16), "moltrix-input 2\n");
    EXPECT_EQ(game().runFrames(100), 7u);
    EXPECT_EQ(input().stopRecording(), 0);
    EXPECT_EQ(test::readFile("copy.txt"), original);
    EXPECT_FALSE(std::filesystem::exists("copy.txt.partial"));
    EXPECT_EQ(input().getRecordingError(), "");
}

/// A file the test keeps, with its content, to see that a refusal leaves it so.
struct Kept {
    std::string name, content;
};

TEST_F(Headless, ARecordingNeverReplacesWhatIsNotARecordingNorTheFileItReplays) {
    std::ofstream("replayed.txt", std::ios::binary) << script("end 3\n");
    ASSERT_EQ(input().startReplay("replayed.txt"), 0);
    const Kept kept[] = {{"notes.txt", "my notes\n"}, {"replayed.txt", test::readFile("replayed.txt")},
                         {"busy.txt", script("end 1\n")}, {"busy.txt.partial", "moltrix-input 2\n"}};
    for (const Kept& file : kept) std::ofstream(file.name, std::ios::binary) << file.content;
    std::filesystem::create_directory("folder");
    const std::pair<std::string, std::string> refused[] = {
        {"", "is an empty name"},
        {"folder", "is a folder"},
        {"notes.txt", "is not a recording: only a recording is replaced by one"},
        {"replayed.txt", "is the file being replayed"},
        {"busy.txt", "is being recorded already: 'busy.txt.partial' exists"},
        {"no/such/folder/x.txt", "cannot be written: "},
    };
    for (const auto& [target, reason] : refused) {
        const auto why = input().whyNotRecordingTarget(target);
        ASSERT_TRUE(why) << target;
        EXPECT_EQ(why->rfind(reason, 0), 0u) << *why;
        CaptureStdout();
        EXPECT_EQ(input().startRecording(target, 1), -1);
        EXPECT_EQ(test::countLines(GetCapturedStdout(), "ERROR: InputManager::startRecording(): Cannot write '" + target + "': it " + reason), 1);
        EXPECT_FALSE(input().isRecording());
    }
    for (const Kept& file : kept) EXPECT_EQ(test::readFile(file.name), file.content) << file.name;
    // An earlier recording, an empty file or none at all may be recorded into; asking leaves nothing behind.
    std::ofstream("empty.txt").flush();
    for (const char* target : {"busy.txt.partial", "empty.txt", "new.txt"}) {
        EXPECT_EQ(input().whyNotRecordingTarget(target), std::nullopt) << target;
    }
    EXPECT_FALSE(std::filesystem::exists("new.txt.partial"));
    EXPECT_FALSE(std::filesystem::exists("new.txt"));
}

/// An object that drifts towards the pointer: whatever the mouse did shows in the world hash.
struct Follower : Object {
    int eventHandler(const Event* e) override {
        if (const auto* m = dynamic_cast<const EventMouse*>(e)) {
            setVelocity((m->getMousePosition() - getPosition()) * 0.1f);
        }
        return 0;
    }
};

/// Replays of a recorded session with an object that follows the pointer.
class Checkpoints : public Headless {
protected:
    /// A session of 100 frames with the pointer going about, and its recording (checkpoints
    /// after frames 29, 59, 89 and 99).
    static std::string recordedSession() {
        std::string moves;
        for (int frame = 0; frame < 100; frame += 10) {
            moves += std::to_string(frame) + " mouse moved " + std::to_string(frame % 70) + " " + std::to_string(frame % 19) + "\n";
        }
        new Follower;
        replay(script(moves + "end 100\n", 5));
        EXPECT_EQ(input().startRecording("recorded.txt", 5), 0);
        game().run();
        EXPECT_EQ(input().stopRecording(), 0);
        return test::readFile("recorded.txt");
    }

    /// The replay of a text, from the first frame with one follower in the world.
    static void replayAgain(const std::string& text) {
        world().shutDown();
        ASSERT_EQ(world().startUp(), 0);
        new Follower;
        std::istringstream in(text);
        ASSERT_EQ(input().startReplayFromStream(in, "again"), 0);
        game().setGameOver(false);
        game().run();
    }
};

/// The text without its checkpoints, as version 1 of the format.
std::string withoutCheckpoints(const std::string& text) {
    std::istringstream in(text);
    std::string kept, line;
    while (std::getline(in, line)) {
        if (line.find(" check ") == std::string::npos) kept += (kept.empty() ? "moltrix-input 1" : line) + "\n";
    }
    return kept;
}

TEST_F(Checkpoints, AReplayStopsAtTheFirstCheckpointAfterItLeftTheRecordingAndNamesTheFrame) {
    const std::string recorded = recordedSession();
    EXPECT_EQ(test::countLines(recorded, " check "), 4);
    replayAgain(recorded);
    EXPECT_EQ(game().getStepCount(), 100u);
    EXPECT_EQ(input().getReplayMismatch(), std::nullopt);

    // One coordinate changed in frame 40: the checkpoint of frame 59 no longer holds.
    std::string changed = recorded;
    const std::size_t at = changed.find("\n40 mouse moved 40 2\n");
    ASSERT_NE(at, std::string::npos) << recorded;
    changed.replace(at, 21, "\n40 mouse moved 40.5 2\n");
    const std::string recorded59 = changed.substr(changed.find("59 check ") + 9, 16);
    CaptureStdout();
    replayAgain(changed);
    const std::string out = GetCapturedStdout();
    EXPECT_EQ(game().getStepCount(), 60u); // it stopped at the end of frame 59
    const auto mismatch = input().getReplayMismatch();
    ASSERT_TRUE(mismatch);
    EXPECT_EQ(mismatch->frame, 59u);
    EXPECT_EQ(Hash::toText(mismatch->recorded), recorded59);
    EXPECT_EQ(mismatch->replayed, game().getWorldHash());
    EXPECT_EQ(test::countLines(out, "ERROR: InputManager::endFrame(): The replay of 'again' differs from its recording at frame 59: "
                                    "world hash " + Hash::toText(mismatch->replayed) + ", recorded " + recorded59), 1) << out;

    // The game's own state counts too: here it differs from the first checkpoint on.
    game().setStateHasher([](Hash& hash) { hash.add(std::int32_t{1}); });
    replayAgain(recorded);
    game().setStateHasher({});
    ASSERT_TRUE(input().getReplayMismatch());
    EXPECT_EQ(input().getReplayMismatch()->frame, 29u);

    // Without checkpoints (version 1) the change goes unseen: the replay plays to its end.
    replayAgain(withoutCheckpoints(changed));
    EXPECT_EQ(game().getStepCount(), 100u);
    EXPECT_EQ(input().getReplayMismatch(), std::nullopt);
}

TEST_F(Checkpoints, AFileCutShortReplaysToItsLastCheckpointWithAWarning) {
    const std::string recorded = recordedSession();
    const std::size_t after59 = recorded.find('\n', recorded.find("59 check ")) + 1;
    const std::size_t after89 = recorded.find('\n', recorded.find("89 check ")) + 1;
    const std::size_t lines59 = static_cast<std::size_t>(std::count(recorded.begin(), recorded.begin() + static_cast<long>(after59), '\n'));
    // Cut in the middle of a line, at a line's end, before zeros a disk left, and in the end line.
    const std::tuple<std::string, std::uint32_t, std::size_t> cuts[] = {
        {recorded.substr(0, after59 + 7), 60, lines59 + 1},
        {recorded.substr(0, after89), 90, lines59 + 5},
        {recorded.substr(0, after59) + std::string(300, '\0'), 60, lines59 + 1},
        {recorded.substr(0, recorded.size() - 1), 100, lines59 + 7},
    };
    for (const auto& [text, frames, line] : cuts) {
        CaptureStdout();
        replayAgain(text);
        const std::string out = GetCapturedStdout();
        EXPECT_TRUE(input().isReplayCutShort());
        EXPECT_EQ(game().getStepCount(), frames);
        EXPECT_EQ(input().getReplayMismatch(), std::nullopt); // the world at its cut is the recorded one
        EXPECT_EQ(test::countLines(out, "WARNING: InputManager::startReplay(): 'again' was cut short at line " + std::to_string(line) +
                                        ", before its 'end' line: it replays to its last checkpoint, frame " + std::to_string(frames - 1)), 1) << out;
        EXPECT_EQ(test::countLines(out, "WARNING: InputManager::getInput(): The replay of 'again' ends at its cut, after " +
                                        std::to_string(frames) + " frames"), 1) << out;
    }
    std::istringstream early(recorded.substr(0, recorded.find("29 check")));
    CaptureStdout();
    EXPECT_EQ(input().startReplayFromStream(early, "early"), -1);
    EXPECT_EQ(test::countLines(GetCapturedStdout(), "before its first checkpoint: it was cut short with nothing whole to replay"), 1);
    replayAgain(recorded);
    EXPECT_FALSE(input().isReplayCutShort());
}

#ifdef _WIN32
extern "C" __declspec(dllimport) int __stdcall GenerateConsoleCtrlEvent(unsigned long event, unsigned long group);
#endif

/// Asks the program to stop as a user or the system would: a signal here, a console event on Windows.
struct StopRequest {
    int code;
    const char* name; ///< as the log names it
};

#ifdef _WIN32
const StopRequest STOP_REQUESTS[] = {{0, "Ctrl-C"}, {1, "Ctrl-Break"}}; // CTRL_C_EVENT, CTRL_BREAK_EVENT
/// False when there is no console to send the event to (a program started without one).
bool request(const StopRequest& stop) { return GenerateConsoleCtrlEvent(static_cast<unsigned long>(stop.code), 0) != 0; }
#else
const StopRequest STOP_REQUESTS[] = {{SIGINT, "SIGINT"}, {SIGTERM, "SIGTERM"}, {SIGHUP, "SIGHUP"}};
bool request(const StopRequest& stop) { return std::raise(stop.code) == 0; }
#endif

/// Asks to stop in a frame's step, then lets frames go by until the loop sees it.
struct Stopper : Object {
    explicit Stopper(StopRequest stop_) : stop(stop_) {}
    int eventHandler(const Event* e) override {
        if (e->getType() == EventStep::TYPE) {
            if (GameManager::getInstance().getStepCount() == 3 && !request(stop)) {
                unsent = true;
                GameManager::getInstance().setGameOver(true);
            }
            // Windows calls its handler on a thread of its own: give it time, three seconds at most.
            if (GameManager::getInstance().getStepCount() >= 3) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (GameManager::getInstance().getStepCount() == 3000) GameManager::getInstance().setGameOver(true);
        }
        return 0;
    }
    StopRequest stop;
    bool unsent = false;
};

TEST_F(Headless, AStopRequestEndsTheLoopAfterItsFrameAndTheRecordingWhole) {
    for (const StopRequest& stop : STOP_REQUESTS) {
        auto* stopper = new Stopper(stop);
        ASSERT_EQ(input().startRecording("stopped.txt", 1), 0);
        game().setGameOver(false);
        CaptureStdout();
        game().run();
        const std::uint32_t frames = game().getStepCount();
        const std::string out = GetCapturedStdout();
        if (stopper->unsent) {
            (void)input().stopRecording();
            GTEST_SKIP() << "no console to send " << stop.name << " to (under Wine, tests/wine_e2e.py ends a session as Windows does)";
        }
        EXPECT_LT(frames, 3000u) << stop.name;
#ifndef _WIN32
        EXPECT_EQ(frames, 4u) << stop.name; // a signal is handled before raise returns: the frame that raised it is the last
#endif
        EXPECT_EQ(test::countLines(out, std::string("INFO: GameManager::run(): Asked to stop (") + stop.name + "): the game ends here"), 1) << out;
        EXPECT_EQ(input().stopRecording(), 0) << stop.name;
        const std::string recording = test::readFile("stopped.txt");
        const std::string last = std::to_string(frames - 1) + " check " + Hash::toText(game().getWorldHash()) + "\nend " + std::to_string(frames) + "\n";
        EXPECT_EQ(recording.substr(recording.size() - std::min(recording.size(), last.size())), last) << recording;
        // Handled once, the next request would end the program as before: the engine's next start catches them again.
        game().shutDown();
        ASSERT_EQ(game().startUp(), 0);
    }
}

/// An endless stream: a head, then the same text for ever.
class Endless : public std::streambuf {
public:
    Endless(std::string head, std::string repeated) : chunk(std::move(head)), next(std::move(repeated)) {
        setg(chunk.data(), chunk.data(), chunk.data() + chunk.size());
    }

protected:
    int_type underflow() override {
        chunk.clear();
        while (chunk.size() < 4096) chunk += next;
        setg(chunk.data(), chunk.data(), chunk.data() + chunk.size());
        return traits_type::to_int_type(chunk[0]);
    }

private:
    std::string chunk, next;
};

TEST_F(Headless, BadInputFilesAreRefusedWithALogLineAndChangeNothing) {
    replay(script("end 5\n", 77));
    const std::string header = script("");
    const std::string v2 = script("", 9, 2);
    const std::pair<std::string, std::string> bad[] = {
        {"", "line 1: not an input file"},
        {"\x89PNG\r\n\x1a\n", "line 1: not an input file"},
        {"moltrix-input 3\n", "line 1: format version 3 is newer than this engine reads (2)"},
        {"moltrix-input 99999999999\n", "line 1: format version 99999999999 is newer than this engine reads (2)"},
        {"moltrix-input 0\n", "line 1: the format version must be a whole number from 1 on, not '0'"},
        {"moltrix-input 2x\n", "line 1: the format version must be a whole number from 1 on, not '2x'"},
        {"moltrix-input 1\nseed 3\n", "line 2: expected 'engine <version>'"},
        {"moltrix-input 1\nengine 0.1\nseed 4294967296\n", "line 3: expected 'seed"},
        {header + "0 key pressed SPACE\n", "line 5: the file ends before its 'end' line: it was cut short"},
        {header + "0 key pres", "line 4: expected 'key pressed|released KEY'"},
        {header + "0 key down A\nend 1\n", "line 4: a key is pressed or released, not 'down'"},
        {header + "0 key pressed SHIFT\nend 1\n", "line 4: no key is named 'SHIFT'"},
        {header + "0 mouse pressed thumb 1 1\nend 1\n", "line 4: no mouse button is named 'thumb'"},
        {header + "0 mouse moved nan 1\nend 1\n", "line 4: the pointer's cell is not two numbers"},
        {header + "0 mouse moved 1e39 1\nend 1\n", "line 4: the pointer's cell is not two numbers"},
        {header + "5 close\n4 close\nend 9\n", "line 5: frame 4 comes after frame 5"},
        {header + "-1 close\nend 9\n", "line 4: expected a frame number or 'end', not '-1'"},
        {header + "3 close\nend 3\n", "line 5: an event of frame 3 lies past the end, 3 frames"},
        {header + "end 3\n0 close\n", "line 5: text after the 'end' line"},
        {header + "end 3 4\n", "line 4: expected 'end <frame count>'"},
        {header + "0 close " + std::string(250, 'x') + "\nend 1\n", "line 4: a line longer than 200 characters"},
        {header + "0 a b c d e f g h i\nend 1\n", "line 4: too many fields"},
        // A version 1 file holds only what the first engine wrote.
        {header + "0 text U+0041\nend 1\n", "line 4: 'text' lines come with format version 2; this file is version 1"},
        {header + "0 joystick 0 connected\nend 1\n", "line 4: 'joystick' lines come with format version 2"},
        {header + "0 key pressed LSHIFT\nend 1\n", "line 4: no key is named 'LSHIFT' in format version 1"},
        {v2 + "0 key pressed Delete\nend 1\n", "line 4: no key is named 'Delete'"},
        {v2 + "0 text U+D800\nend 1\n", "line 4: expected 'text U+XXXX'"},
        {v2 + "0 text U+110000\nend 1\n", "line 4: expected 'text U+XXXX'"},
        {v2 + "0 text A\nend 1\n", "line 4: expected 'text U+XXXX'"},
        {v2 + "0 text U+-41\nend 1\n", "line 4: expected 'text U+XXXX'"},
        {v2 + "0 wheel sideways 1 0 0\nend 1\n", "line 4: expected 'wheel vertical|horizontal NOTCHES X Y'"},
        {v2 + "0 wheel vertical inf 0 0\nend 1\n", "line 4: expected 'wheel vertical|horizontal NOTCHES X Y'"},
        {v2 + "0 wheel vertical 1 0\nend 1\n", "line 4: expected 'wheel vertical|horizontal NOTCHES X Y'"},
        {v2 + "0 joystick 8 connected\nend 1\n", "line 4: expected 'joystick N pressed|released BUTTON'"},
        {v2 + "0 joystick 0 pressed 32\nend 1\n", "line 4: expected 'joystick N pressed|released BUTTON', a button from 0 to 31"},
        {v2 + "0 joystick 0 moved w 1\nend 1\n", "line 4: expected 'joystick N moved x|y|z|r|u|v|povx|povy POSITION'"},
        {v2 + "0 joystick 0 moved x 100.5\nend 1\n", "line 4: expected 'joystick N moved"},
        {v2 + "0 joystick 0 connected 1\nend 1\n", "line 4: expected 'joystick N pressed|released BUTTON'"},
        // Checkpoints: version 2 only, one a frame, the last line of their frame, within the end.
        {header + "0 check 0123456789abcdef\nend 1\n", "line 4: checkpoints came with version 2 of the format; this file is version 1"},
        {v2 + "0 check 0123456789abcde\nend 1\n", "line 4: expected 'check' and a world hash of 16 hexadecimal digits"},
        {v2 + "0 check 0123456789abcdeg\nend 1\n", "line 4: expected 'check' and a world hash of 16 hexadecimal digits"},
        {v2 + "0 check 0123456789ABCDEF x\nend 1\n", "line 4: expected 'check' and a world hash of 16 hexadecimal digits"},
        {v2 + "2 check 0123456789abcdef\n2 check 0123456789abcdef\nend 3\n", "line 5: a second checkpoint for frame 2"},
        {v2 + "2 check 0123456789abcdef\n2 close\nend 3\n", "line 5: an input of frame 2 after its checkpoint, which ends it"},
        {v2 + "2 check 0123456789abcdef\n1 close\nend 3\n", "line 5: frame 1 comes after frame 2"},
        {v2 + "3 check 0123456789abcdef\nend 3\n", "line 5: an event of frame 3 lies past the end, 3 frames"},
        {v2 + "0 close\n", "line 5: the file ends before its 'end' line and before its first checkpoint"},
    };
    for (const auto& [text, reason] : bad) {
        std::istringstream in(text);
        CaptureStdout();
        EXPECT_EQ(input().startReplayFromStream(in, "bad"), -1) << text;
        const std::string out = GetCapturedStdout();
        EXPECT_EQ(test::countLines(out, "ERROR: InputManager::startReplay(): Refused 'bad', " + reason), 1) << out;
    }
    // Endless input is refused at its bound, not read to the end of memory.
    for (const auto& [repeated, reason] : {std::pair{std::string("0 close\n"), "more than 4000000 events"},
                                           std::pair{std::string("x"), "a line longer than 200 characters"}}) {
        Endless endless(header, repeated);
        std::istream in(&endless);
        CaptureStdout();
        EXPECT_EQ(input().startReplayFromStream(in, "endless"), -1);
        EXPECT_EQ(test::countLines(GetCapturedStdout(), reason), 1);
    }
    // What is no regular file is refused before it is read: a folder used to throw from the read.
    std::filesystem::create_directory("folder");
    std::vector<std::pair<std::string, std::string>> unreadable{{"missing.txt", "does not exist"}, {"folder", "is a folder"}};
#ifndef _WIN32
    ASSERT_EQ(::mkfifo("fifo", 0600), 0); // opening it would wait for a writer for ever
    unreadable.emplace_back("fifo", "is a FIFO");
#endif
    for (const auto& [file, reason] : unreadable) {
        CaptureStdout();
        EXPECT_EQ(input().startReplay(file), -1);
        EXPECT_EQ(test::countLines(GetCapturedStdout(), "ERROR: InputManager::startReplay(): Cannot open '" + file + "': it " + reason), 1);
    }
    EXPECT_EQ(input().getReplaySeed(), 77u); // the good one still runs
    EXPECT_EQ(input().getReplayFrameCount(), 5u);
    CaptureStdout();
    replay("moltrix-input 1\nengine 0.0.1\nseed 1\nend 1\n");
    EXPECT_EQ(test::countLines(GetCapturedStdout(), "WARNING: InputManager::startReplay(): 'script' was recorded with engine 0.0.1"), 1);
}

TEST_F(Headless, TheGridHoldsTheLastFrameShownAndReadsAsText) {
    const sf::Color green(57, 250, 128);
    display().setBackgroundColor(sf::Color(0, 25, 0));
    display().drawString(Vector(10, 2), "abc", CENTER_JUSTIFIED, WHITE);           // cells 8.5 to 10.5: 9 to 11
    display().drawString(Vector(10, 3), "abc", RIGHT_JUSTIFIED, YELLOW);           // 8 to 10
    display().drawString(Vector(0, 4), "a b\x7f", LEFT_JUSTIFIED, green, ' ');     // the blank leaves its cell
    display().drawCh(Vector(5, 5), 'x', WHITE);
    display().drawCh(Vector(5.4f, 4.6f), 'y', WHITE); // the same cell: the later one shows
    display().drawCh(Vector(79.4f, 23.4f), 'z', RED);
    for (const Vector off : {Vector(79.5f, 0), Vector(-0.6f, 0), Vector(0, 23.5f), Vector(std::nanf(""), 0)}) {
        display().drawCh(off, 'o', WHITE);
    }
    EXPECT_EQ(display().getGrid().getRow(2), std::string(80, ' ')); // not shown yet
    display().swapBuffers();
    display().drawCh(Vector(0, 0), 'n', WHITE); // the next frame
    const CellGrid& grid = display().getGrid();
    EXPECT_EQ(grid.getRow(2).substr(8, 5), " abc ");
    EXPECT_EQ(grid.getRow(3).substr(7, 5), " abc ");
    EXPECT_EQ(grid.getRow(4).substr(0, 5), "a b? ");
    EXPECT_FALSE(grid.getCell(1, 4).isDrawn());
    EXPECT_EQ(grid.getCell(5, 5).ch, 'y');
    EXPECT_EQ(grid.getCell(79, 23), (Cell{'z', RED, sf::Color(0, 25, 0)}));
    EXPECT_EQ(grid.getCell(80, 0), Cell{});
    const std::string text = grid.getText(true);
    std::string pictured = std::string(80, ' ') + "\n";
    pictured = pictured + pictured + std::string(9, ' ') + "abc" + std::string(68, ' ') + "\n";
    EXPECT_EQ(text.substr(0, pictured.size()), pictured);
    EXPECT_NE(text.find("\n" + std::string(9, ' ') + "www" + std::string(68, ' ') + "\n" + std::string(8, ' ') + "yyy"), std::string::npos);
    EXPECT_NE(text.find("\nA A" + std::string(1, 'A')), std::string::npos); // the blank's cell stays empty
    EXPECT_NE(text.find("\nA = #39FA80\n"), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 24 + 1 + 24 + 1);
    display().setBackgroundColor(BLACK); // clears what the next frame drew so far
    display().swapBuffers();
    EXPECT_EQ(display().getGrid(), CellGrid(80, 24, BLACK));
}

/// Moves by what is typed, the wheel and the left stick, so that the world shows every input.
struct Steered : Object {
    Steered() { setSolidness(INTANGIBLE); }
    int eventHandler(const Event* e) override {
        const InputManager& input = InputManager::getInstance();
        if (const auto* wheel = dynamic_cast<const EventMouseWheel*>(e)) {
            setPosition(getPosition() + Vector(0, wheel->getDelta()));
        } else if (const auto* text = dynamic_cast<const EventText*>(e)) {
            setPosition(getPosition() + Vector(0.5f * static_cast<float>(text->getUnicode() % 7), 0));
        } else if (e->getType() == EventStep::TYPE) {
            setVelocity(Vector(input.getJoystickAxis(0, Joystick::X) / 100, input.isJoystickButtonHeld(0, 2) ? 0.25f : 0.0f));
        }
        return 0;
    }
};

/// The window's events of a short session, by frame: a gamepad, text, the wheel, a tap.
std::vector<std::vector<sf::Event>> gamepadSession() {
    using E = sf::Event;
    return {
        {E(E::JoystickConnected{0}), E(E::TextEntered{U'N'}), E(E::TextEntered{U'\u00e9'})},
        {E(E::JoystickMoved{0, sf::Joystick::Axis::X, 55.5f}), E(E::MouseWheelScrolled{sf::Mouse::Wheel::Vertical, -1.5f, {128, 96}}),
         E(E::TextEntered{U'\U0001F600'})},
        {E(E::JoystickButtonPressed{0, 2}), E(E::JoystickButtonReleased{0, 2}), E(E::KeyPressed{sf::Keyboard::Key::LShift})},
        {E(E::JoystickButtonPressed{0, 2}), E(E::MouseWheelScrolled{sf::Mouse::Wheel::Horizontal, 0.25f, {0, 0}})},
        {},
        {E(E::JoystickButtonReleased{0, 2}), E(E::JoystickMoved{0, sf::Joystick::Axis::X, 0.0f}), E(E::KeyReleased{sf::Keyboard::Key::LShift}),
         E(E::JoystickDisconnected{0})},
        {},
        {},
    };
}

TEST_F(Headless, ASessionWithTextTheWheelAndAGamepadReplaysToTheSameEventsAndWorld) {
    auto* journal = new Journal;
    auto* steered = new Steered;
    steered->setPosition(Vector(10, 10));
    ASSERT_EQ(input().startRecording("session.txt", 5), 0);
    for (const std::vector<sf::Event>& frame : gamepadSession()) {
        for (const sf::Event& event : frame) TestHooks::injectWindowEvent(event);
        ASSERT_EQ(game().runFrames(1), 1u);
    }
    EXPECT_EQ(input().stopRecording(), 0);
    const Strings played = journal->lines;
    const std::uint64_t playedWorld = game().getWorldHash();
    EXPECT_EQ(played, (Strings{"0 joystick 0 3 -1 -1 0.000000", "0 text 78 N", "0 text 233 \u00e9", "0 step pad",
                               "1 joystick 0 2 -1 0 55.500000", "1 wheel 0 -1.500000 10.000000,3.000000",
                               "1 text 128512 \U0001F600", "1 step pad x=55.500000",
                               "2 joystick 0 0 2 -1 0.000000", "2 joystick 0 1 2 -1 0.000000", "2 key 22 down",
                               "2 step pad pad2 x=55.500000", // a tap counts for its frame
                               "3 joystick 0 0 2 -1 0.000000", "3 wheel 1 0.250000 0.000000,0.000000", "3 step pad pad2 x=55.500000",
                               "4 step pad pad2 x=55.500000", "5 joystick 0 1 2 -1 0.000000", "5 joystick 0 2 -1 0 0.000000",
                               "5 key 22 up", "5 joystick 0 4 -1 -1 0.000000", "5 step", "6 step", "7 step"}));
    // The file: the session's inputs in their frames.
    EXPECT_EQ(test::readFile("session.txt"),
              script("0 joystick 0 connected\n0 text U+004E\n0 text U+00E9\n1 joystick 0 moved x 55.5\n"
                     "1 wheel vertical -1.5 10 3\n1 text U+1F600\n2 joystick 0 pressed 2\n2 joystick 0 released 2\n"
                     "2 key pressed LSHIFT\n3 joystick 0 pressed 2\n3 wheel horizontal 0.25 0 0\n"
                     "5 joystick 0 released 2\n5 joystick 0 moved x 0\n5 key released LSHIFT\n5 joystick 0 disconnected\n"
                     "7 check " + Hash::toText(playedWorld) + "\nend 8\n",
                     5, 2));

    // The same session again from its file, in a new world: the same events, the same world.
    game().shutDown();
    ASSERT_EQ(game().startUp(), 0);
    WorldManager::getInstance().setView(Box(0, 80, 0, 24));
    journal = new Journal;
    (new Steered)->setPosition(Vector(10, 10));
    ASSERT_EQ(input().startReplay("session.txt"), 0);
    game().run();
    EXPECT_EQ(journal->lines, played);
    EXPECT_EQ(game().getWorldHash(), playedWorld);
    EXPECT_FALSE(input().isJoystickConnected(0));
}

TEST_F(Headless, WindowEventsThatNoInputFileCouldHoldAreLeftOutAndAxesKeepTheirRange) {
    auto* journal = new Journal;
    using E = sf::Event;
    for (const E& event : {E(E::JoystickButtonPressed{8, 0}), E(E::JoystickButtonPressed{0, 32}), E(E::TextEntered{0xD800}),
                           E(E::TextEntered{0x110000}), E(E::MouseWheelScrolled{sf::Mouse::Wheel::Vertical, std::nanf(""), {}}),
                           E(E::JoystickMoved{0, sf::Joystick::Axis::PovY, std::nanf("")}), E(E::JoystickConnected{9}),
                           E(E::JoystickMoved{3, sf::Joystick::Axis::PovY, 250.0f})}) {
        TestHooks::injectWindowEvent(event);
    }
    ASSERT_EQ(input().startRecording("odd.txt", 1), 0);
    ASSERT_EQ(game().runFrames(1), 1u);
    EXPECT_EQ(input().stopRecording(), 0);
    EXPECT_EQ(journal->lines, (Strings{"0 joystick 3 2 -1 7 100.000000", "0 step"}));
    EXPECT_EQ(input().getJoystickAxis(3, Joystick::POV_Y), 100.0f);
    EXPECT_EQ(input().getJoystickAxis(8, Joystick::X), 0.0f);
    EXPECT_FALSE(input().isJoystickButtonHeld(0, 32));
    EXPECT_EQ(test::readFile("odd.txt"), script("0 joystick 3 moved povy 100\n0 check " + Hash::toText(game().getWorldHash()) + "\nend 1\n", 1, 2));
}

TEST_F(Headless, JoysticksPluggedInBeforeTheWindowOpenedAreToldAsIfPluggedInThen) {
    auto* journal = new Journal;
    std::array<JoystickState, Joystick::COUNT> live{};
    live[1].connected = true;
    live[1].axes[Joystick::Z] = -100.0f;   // a trigger at rest
    live[1].axes[Joystick::X] = 0.05f;     // within the threshold of rest: no move
    live[1].buttons.set(4);
    TestHooks::syncJoysticks(live);
    EXPECT_EQ(journal->lines, (Strings{"0 joystick 1 3 -1 -1 0.000000", "0 joystick 1 2 -1 2 -100.000000",
                                       "0 joystick 1 0 4 -1 0.000000"}));
    EXPECT_TRUE(input().isJoystickConnected(1));
    EXPECT_TRUE(input().isJoystickButtonHeld(1, 4));
    journal->lines.clear();
    TestHooks::syncJoysticks(live); // nothing changed
    EXPECT_TRUE(journal->lines.empty());
    live[1].buttons.reset(4);
    live[1].axes[Joystick::Z] = 30.0f;
    TestHooks::syncJoysticks(live);
    EXPECT_EQ(journal->lines, (Strings{"0 joystick 1 2 -1 2 30.000000", "0 joystick 1 1 4 -1 0.000000"}));
    journal->lines.clear();
    live[1] = JoystickState{};
    live[1].buttons.set(4); // SFML's state of an unplugged joystick counts for nothing
    input().getInput();     // a new frame: the release above no longer counts as held
    TestHooks::syncJoysticks(live);
    EXPECT_EQ(journal->lines, (Strings{"0 joystick 1 4 -1 -1 0.000000"})); // no releases or moves of its own
    EXPECT_FALSE(input().isJoystickConnected(1));
    EXPECT_EQ(input().getJoystickAxis(1, Joystick::Z), 0.0f);
}

TEST_F(Headless, TheSaveFolderIsMadeOnFirstUseAndHeadlessScreenshotsAreTheGridAsText) {
    ResourceManager& resources = ResourceManager::getInstance();
    test::setUserDataFolder(dir.getPath() / "data");
    const auto refused = [&](const std::string& name, const std::string& reason) {
        resources.setGameName(name);
        CaptureStdout();
        EXPECT_FALSE(resources.getSaveFolder().has_value()) << name;
        EXPECT_EQ(test::countLines(GetCapturedStdout(), "ERROR: ResourceManager::getSaveFolder(): No save folder: " + reason), 1) << name;
    };
    refused("", "the game has no name: name it with setGameName");
    for (const char* bad : {"..", "a/b", "a\\b", "C:", "what?", "dot.", "blank ", "tab\t"}) {
        refused(bad, "the game's name '" + std::string(bad) + "' cannot name a folder");
    }
    EXPECT_FALSE(std::filesystem::exists(dir.getPath() / "data")); // nothing is made for a name that cannot be one
    resources.setGameName("Bricks");
    CaptureStdout();
    const auto folder = resources.getSaveFolder();
    ASSERT_TRUE(folder.has_value());
    EXPECT_EQ(*folder, dir.getPath() / "data" / "Bricks");
    EXPECT_TRUE(std::filesystem::is_directory(*folder));
    EXPECT_EQ(resources.getSaveFolder(), folder); // made once, said once
    EXPECT_EQ(test::countLines(GetCapturedStdout(), "INFO: ResourceManager::getSaveFolder(): Made the save folder"), 1);

    // Headless, a screenshot is the grid of the frame last shown, as text with its colours.
    display().drawString(Vector(2, 1), "best 120", LEFT_JUSTIFIED, YELLOW);
    display().swapBuffers();
    display().drawString(Vector(2, 1), "not shown yet", LEFT_JUSTIFIED, RED);
    CaptureStdout();
    const auto first = display().takeScreenshot();
    const auto second = display().takeScreenshot();
    const std::string log = GetCapturedStdout();
    ASSERT_TRUE(first && second);
    EXPECT_NE(*first, *second);
    EXPECT_EQ(first->parent_path(), *folder);
    EXPECT_EQ(first->extension(), ".txt");
    EXPECT_EQ(first->filename().string().rfind("screenshot-", 0), 0u);
    EXPECT_EQ(test::readFile(*second), display().getGrid().getText(true));
    EXPECT_NE(test::readFile(*first).find("\n  best 120"), std::string::npos);
    EXPECT_EQ(test::countLines(log, "INFO: DisplayManager::takeScreenshot(): Saved '" + first->string() + "'"), 1);
    // A file is replaced whole; what cannot be written is refused with its reason and leaves nothing.
    std::ofstream("old.txt") << std::string(100000, 'x');
    EXPECT_EQ(display().saveScreenshot("old.txt"), 0);
    EXPECT_EQ(test::readFile("old.txt"), display().getGrid().getText(true));
    CaptureStdout();
    EXPECT_EQ(display().saveScreenshot(*folder), -1);
    EXPECT_EQ(display().saveScreenshot("no/such/folder/x.txt"), -1);
    const std::string failures = GetCapturedStdout();
    EXPECT_EQ(test::countLines(failures, "Cannot save '" + folder->string() + "': it is a folder"), 1) << failures;
    EXPECT_EQ(test::countLines(failures, "Cannot save 'no/such/folder/x.txt': cannot write it"), 1) << failures;
    EXPECT_FALSE(std::filesystem::exists("no"));
    // Something else where the folder would be: no folder, and why.
    resources.setGameName("Taken");
    std::ofstream(dir.getPath() / "data" / "Taken") << "a file";
    CaptureStdout();
    EXPECT_FALSE(resources.getSaveFolder().has_value());
    EXPECT_FALSE(display().takeScreenshot().has_value());
    EXPECT_EQ(test::countLines(GetCapturedStdout(), "ERROR: ResourceManager::getSaveFolder(): Cannot make the save folder"), 2);
#ifndef _WIN32
    // A relative XDG_DATA_HOME is no folder by the XDG rules: the one under HOME serves.
    ::setenv("XDG_DATA_HOME", "relative", 1);
    const std::string home = ::getenv("HOME");
    ::setenv("HOME", (dir.getPath() / "home").c_str(), 1);
    resources.setGameName("Bricks");
    EXPECT_EQ(resources.getSaveFolder(), dir.getPath() / "home" / ".local" / "share" / "Bricks");
    ::setenv("HOME", home.c_str(), 1);
    ::unsetenv("XDG_DATA_HOME");
#endif
    resources.setGameName("");
}

} // namespace
