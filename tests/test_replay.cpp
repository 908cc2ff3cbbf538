// Without a window: the headless engine, the grid of cells as text, input files recorded,
// replayed and refused.
#include <cmath>
#include <limits>

#include <mx/EventMouse.h>
#include <mx/LogManager.h>
#include <mx/Version.h>

#include "TestSupport.h"

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
        const auto frame = std::to_string(GameManager::getInstance().getStepCount());
        const InputManager& input = InputManager::getInstance();
        if (e->getType() == EventStep::TYPE) {
            lines.push_back(frame + " step" + (input.isKeyHeld(Keyboard::RIGHT) ? " RIGHT" : "") +
                            (input.isKeyHeld(Keyboard::A) ? " A" : "") + (input.isMouseButtonHeld(0) ? " left" : ""));
        } else if (const auto* k = dynamic_cast<const EventKeyboard*>(e)) {
            lines.push_back(frame + " key " + std::to_string(k->getKey()) + (k->getKeyboardAction() == KEY_PRESSED ? " down" : " up"));
        } else if (const auto* m = dynamic_cast<const EventMouse*>(e)) {
            const Vector p = m->getMousePosition();
            lines.push_back(frame + " mouse " + std::to_string(m->getMouseAction()) + " " + std::to_string(m->getMouseButton()) +
                            " " + std::to_string(p.x) + "," + std::to_string(p.y));
        }
        return 0;
    }
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

TEST_F(Headless, RecordingAReplayWritesTheSameFile) {
    const std::string original = script("0 mouse moved 12.8 0.33333334\n0 mouse pressed extra2 0 -0\n"
                                        "3 key released UNDEFINED\n3 key pressed NUM0\n3 forget-held\n"
                                        "9 mouse released right 79.99 23.96875\n11 close\nend 12\n",
                                        std::numeric_limits<std::uint32_t>::max());
    replay(original);
    EXPECT_EQ(input().getReplaySeed(), std::numeric_limits<std::uint32_t>::max());
    ASSERT_EQ(input().startRecording("copy.txt", input().getReplaySeed()), 0);
    EXPECT_EQ(game().runFrames(100), 12u);
    input().stopRecording();
    EXPECT_EQ(test::readFile("copy.txt"), original);
    CaptureStdout();
    EXPECT_EQ(input().startRecording(dir.getPath() / "no/such/folder/x.txt", 1), -1);
    EXPECT_EQ(test::countLines(GetCapturedStdout(), "ERROR: InputManager::startRecording(): Cannot write"), 1);
    EXPECT_FALSE(input().isRecording());
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
    const std::pair<std::string, std::string> bad[] = {
        {"", "line 1: not an input file"},
        {"\x89PNG\r\n\x1a\n", "line 1: not an input file"},
        {"moltrix-input 2\n", "line 1: format version 2 is newer than this engine reads (1)"},
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
    CaptureStdout();
    EXPECT_EQ(input().startReplay("missing.txt"), -1);
    EXPECT_EQ(test::countLines(GetCapturedStdout(), "ERROR: InputManager::startReplay(): Cannot open 'missing.txt'"), 1);
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

} // namespace
