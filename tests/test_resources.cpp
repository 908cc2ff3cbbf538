// Sprite files and sounds: the loader's format rules, its hardening, the tables, animation timing.
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "DisplayManager.h"
#include "LogManager.h"
#include "Object.h"
#include "ResourceManager.h"
#include "TestSupport.h"

using namespace mx;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

class Resources : public ::testing::Test {
protected:
    void SetUp() override {
        rm().shutDown();
        ASSERT_EQ(rm().startUp(), 0);
    }
    void TearDown() override { rm().shutDown(); }
    static ResourceManager& rm() { return ResourceManager::getInstance(); }

    /// Writes a file and loads it as a sprite, returning the result and what was logged.
    std::pair<int, std::string> load(const std::string& content, const std::string& label = "s") {
        std::ofstream("sprite.txt", std::ios::binary) << content;
        CaptureStdout();
        const int result = rm().loadSprite("sprite.txt", label);
        return {result, GetCapturedStdout()};
    }

    test::ScratchDir dir;
};

TEST_F(Resources, HeaderFramesColoursAndBlanks) {
    auto [result, log] = load("2 3 2 4 cyan anything at all here\nabc\nd f\n123\n45 \n");
    ASSERT_EQ(result, 0);
    EXPECT_EQ(log, "");
    const Sprite* s = rm().getSprite("s");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->getFrameCount(), 2);
    EXPECT_EQ(s->getWidth(), 3);
    EXPECT_EQ(s->getHeight(), 2);
    EXPECT_EQ(s->getSlowdown(), 4);
    EXPECT_EQ(s->getColor(), CYAN);
    EXPECT_EQ(s->getTransparency(), 0);
    EXPECT_EQ(s->getFrame(0).getString(), "abcd f"); // blanks are characters of the frame
    EXPECT_EQ(s->getFrame(1).getString(), "12345 ");
    EXPECT_EQ(s->getFrame(1).getWidth(), 3);

    // Fields spread over lines, mixed-case colour, CRLF line ends.
    std::tie(result, log) = load("1\n1\r\n  1\t0\nGreen\r\nX\r\n", "t");
    ASSERT_EQ(result, 0);
    EXPECT_EQ(log, "");
    EXPECT_EQ(rm().getSprite("t")->getColor(), GREEN);
    EXPECT_EQ(rm().getSprite("t")->getFrame(0).getString(), "X");

    std::tie(result, log) = load("1 1 1 0 purple\n#\n", "u");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(test::countLines(log, "WARNING: ResourceManager::loadSprite(): Invalid color: 'PURPLE'"), 1);
    EXPECT_EQ(rm().getSprite("u")->getColor(), WHITE);
}

TEST_F(Resources, ShortFilesZeroFramesDuplicateLabelsAndTheFullTable) {
    auto [result, log] = load("3 2 2 1 red\nab\ncd\nef\n"); // 6 rows promised, 3 given
    ASSERT_EQ(result, 0);
    const Sprite* s = rm().getSprite("s");
    EXPECT_EQ(s->getFrameCount(), 3);
    EXPECT_EQ(s->getFrame(0).getString(), "abcd");
    EXPECT_EQ(s->getFrame(1).getString(), "ef");
    EXPECT_EQ(s->getFrame(2).getString(), "");

    EXPECT_EQ(load("0 5 5 0 blue\n", "empty").first, 0);
    EXPECT_EQ(rm().getSprite("empty")->getFrameCount(), 0);

    EXPECT_EQ(load("1 1 1 0 red\nA\n", "dup").first, 0);
    EXPECT_EQ(load("1 1 1 0 red\nB\n", "dup").first, 0);
    EXPECT_EQ(rm().getSprite("dup")->getFrame(0).getString(), "A"); // the first one loaded
    EXPECT_EQ(rm().getSprite("Dup"), nullptr);

    while (rm().getSpriteCount() < ResourceManager::SPRITE_TABLE_SIZE) {
        ASSERT_EQ(load("1 1 1 0 red\nA\n", "filler").first, 0);
    }
    std::filesystem::remove("sprite.txt");
    std::tie(result, log) = load("1 1 1 0 red\nA\n", "one-too-many");
    std::filesystem::remove("missing.txt");
    CaptureStdout();
    EXPECT_EQ(rm().loadSprite("missing.txt", "x"), -1); // table full: the file is not even opened
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(result, -1);
    EXPECT_EQ(log, "");
}

TEST_F(Resources, BadFilesEndQuicklyWithALogLine) {
    CaptureStdout();
    EXPECT_EQ(rm().loadSprite("no-such-file.txt", "x"), -1);
    EXPECT_EQ(test::countLines(GetCapturedStdout(),
                               "ERROR: ResourceManager::loadSprite(): Failed to open file: 'no-such-file.txt'"), 1);

    const char* const unreadable[] = {
        "",                              // nothing at all
        "1 1 1\n",                       // shorter than its header
        "one 1 1 0 red\nA\n",            // a word where a number belongs
        "1 -3 1 0 red\nA\n",             // negative numbers
        "-1 1 1 0 red\n",
        "1 1 1 -1 red\nA\n",
        "99999999999 1 1 0 red\n",       // does not fit an int
    };
    for (const char* content : unreadable) {
        SCOPED_TRACE(content);
        const auto [result, log] = load(content);
        EXPECT_EQ(result, -1);
        EXPECT_EQ(test::countLines(log, "ERROR: ResourceManager::loadSprite(): Failed to parse sprite header"), 1);
    }

    // Counts that would exhaust memory or take long are refused before allocating.
    const auto started = std::chrono::steady_clock::now();
    for (const char* content : {"2000000000 1 1 0 red\nA\n", "1 3 2000000000 0 red\nabc\nabc\nabc\n",
                                "50000 80 24 1 red\n"}) {
        SCOPED_TRACE(content);
        const auto [result, log] = load(content);
        EXPECT_EQ(result, -1);
        EXPECT_EQ(test::countLines(log, "ERROR: ResourceManager::loadSprite(): Sprite too large"), 1);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
    EXPECT_EQ(rm().getSpriteCount(), 0);

    // A folder opens but yields no header.
    std::filesystem::create_directory("folder");
    CaptureStdout();
    EXPECT_EQ(rm().loadSprite("folder", "x"), -1);
    EXPECT_EQ(test::countLines(GetCapturedStdout(), "Failed to parse sprite header"), 1);
}

TEST_F(Resources, NothingLoadsBeforeStartUp) {
    rm().shutDown();
    std::ofstream("sprite.txt") << "1 1 1 0 red\nA\n";
    EXPECT_EQ(rm().loadSprite("sprite.txt", "s"), -1);
    EXPECT_EQ(rm().loadSound((test::sourceDir() / "tests/data/beep.mp3").string(), "beep"), -1);
    EXPECT_EQ(rm().getSprite("s"), nullptr);
}

TEST_F(Resources, SoundsLoadFromMp3AndLiveInTheirTable) {
    const std::string beep = (test::sourceDir() / "tests/data/beep.mp3").string();
    CaptureStdout();
    EXPECT_EQ(rm().loadSound(beep, "Scream"), 0);
    EXPECT_EQ(rm().loadSound(beep, "Hoot"), 0);
    EXPECT_EQ(rm().loadSound("no-such.mp3", "missing"), -1);
    EXPECT_EQ(rm().loadSound((test::sourceDir() / "tests/data/not-audio.mp3").string(), "text"), -1);
    EXPECT_EQ(GetCapturedStdout(), ""); // the engine itself logs nothing for sounds
    EXPECT_EQ(rm().getSoundCount(), 2);

    Sound* hoot = rm().getSound("Hoot");
    ASSERT_NE(hoot, nullptr);
    EXPECT_EQ(hoot, rm().getSound("Hoot"));
    EXPECT_NE(hoot, rm().getSound("Scream"));
    EXPECT_EQ(rm().getSound("hoot"), nullptr);
    ASSERT_NE(hoot->getSound(), nullptr);
    EXPECT_EQ(hoot->getBuffer().getSampleRate(), 44100u);
    EXPECT_NEAR(hoot->getBuffer().getDuration().asSeconds(), 0.1f, 0.01f);

    // Playing and stopping work on the silent fallback device; shut-down stops a playing sound.
    hoot->getSound()->setLooping(true);
    hoot->getSound()->play();
    EXPECT_EQ(hoot->getSound()->getStatus(), sf::SoundSource::Status::Playing);
    hoot->getSound()->stop();
    EXPECT_EQ(hoot->getSound()->getStatus(), sf::SoundSource::Status::Stopped);
    hoot->getSound()->play();

    while (rm().getSoundCount() < ResourceManager::SOUND_TABLE_SIZE) {
        ASSERT_EQ(rm().loadSound(beep, "filler"), 0);
    }
    EXPECT_EQ(rm().loadSound(beep, "one-too-many"), -1);
    rm().shutDown();
    EXPECT_EQ(rm().getSoundCount(), 0);
    EXPECT_EQ(rm().getSound("Hoot"), nullptr);
}

TEST(FrameRows, RowsAreCutByWidthAndNeverReadPastTheText) {
    const Frame frame(3, 3, "abcdefg");
    EXPECT_EQ(frame.getRow(0), "abc");
    EXPECT_EQ(frame.getRow(1), "def");
    EXPECT_EQ(frame.getRow(2), "g");
    EXPECT_EQ(frame.getRow(3), "");
    EXPECT_EQ(Frame(0, 2, "abc").getRow(0), "");
    EXPECT_EQ(Frame(2000000000, 3, "abc").getRow(2), ""); // r × width beyond an int
    EXPECT_EQ(Frame(2000000000, 3, "abc").getRow(0), "abc");
}

/// An object showing a sprite whose frames are told apart by index.
class Animated : public test::WorldTest {
protected:
    std::vector<int> indexes(Sprite& sprite, int draws) {
        auto* o = new Object;
        o->setSprite(&sprite);
        std::vector<int> shown;
        CaptureStdout(); // no display: each row's drawing is refused in the log
        for (int i = 0; i < draws; ++i) {
            shown.push_back(o->getAnimation().index);
            results.push_back(o->draw());
        }
        GetCapturedStdout();
        return shown;
    }
    static Sprite sprite(int frames, int slowdown) {
        Sprite s(frames);
        s.setSlowdown(slowdown);
        s.setWidth(1);
        s.setHeight(1);
        for (int f = 0; f < frames; ++f) s.addFrame(Frame(1, 1, std::string(1, static_cast<char>('0' + f))));
        return s;
    }
    std::vector<int> results;
};

TEST_F(Animated, SlowdownSetsHowManyDrawnFramesEachFrameShows) {
    Sprite three = sprite(3, 1);
    EXPECT_EQ(indexes(three, 7), (std::vector<int>{0, 1, 2, 0, 1, 2, 0}));
    Sprite slow = sprite(2, 3);
    EXPECT_EQ(indexes(slow, 8), (std::vector<int>{0, 0, 0, 1, 1, 1, 0, 0}));
    Sprite frozen = sprite(3, 0);
    EXPECT_EQ(indexes(frozen, 4), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_EQ(results, std::vector<int>(19, 0));
}

TEST_F(Animated, OutOfRangeIndexNoFramesAndNoSpriteDrawNothing) {
    Sprite four = sprite(4, 1);
    auto* o = new Object;
    o->setSprite(&four);
    CaptureStdout();
    o->draw();
    o->draw();
    o->draw(); // now at frame 3
    GetCapturedStdout();
    EXPECT_EQ(o->getAnimation().index, 3);
    four = sprite(2, 1); // the record now has two frames, the object stands at 3
    CaptureStdout();
    EXPECT_EQ(o->draw(), -1); // nothing drawn, and the advance brings it back into range
    EXPECT_EQ(o->getAnimation().index, 0);
    EXPECT_EQ(o->draw(), 0);
    GetCapturedStdout();

    Sprite none = sprite(0, 2);
    auto* empty = new Object;
    empty->setSprite(&none);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(empty->draw(), -1); // no division by zero
    auto* bare = new Object;
    EXPECT_EQ(bare->draw(), -1);
    EXPECT_EQ(bare->getAnimation().slowdownCount, 0);
}

} // namespace
