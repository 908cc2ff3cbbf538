// Sprite files and sounds: the loader's format rules and hardening, the tables, animation.
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <cmath>

#include <mx/LogManager.h>
#include <mx/ResourceManager.h>

#include "TestSupport.h"

using namespace mx;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

class Resources : public test::ResourceTest {
protected:
    /// Loads a file of this content; returns the result and what was logged.
    static std::pair<int, std::string> load(const std::string& content, const std::string& label = "s") {
        std::ofstream("sprite.txt", std::ios::binary) << content;
        CaptureStdout();
        const int result = rm().loadSprite("sprite.txt", label);
        return {result, GetCapturedStdout()};
    }
    test::ScratchDir dir;
};

TEST_F(Resources, TheFormatHeaderColourWordsBlanksAndShortFiles) {
    EXPECT_EQ(load("2 3 2 4 cyan anything\nabc\nd f\n123\n45 \n"), std::make_pair(0, std::string()));
    const Sprite* s = rm().getSprite("s");
    EXPECT_EQ(s->getFrameCount(), 2);
    EXPECT_EQ(s->getWidth() * 10 + s->getHeight(), 32);
    EXPECT_EQ(s->getSlowdown(), 4);
    EXPECT_EQ(s->getColor(), CYAN);
    EXPECT_EQ(s->getFrame(0).getString(), "abcd f"); // blanks kept
    EXPECT_EQ(s->getFrame(1).getString(), "12345 ");
    EXPECT_EQ(load("1\n1\r\n  1\t0\nGreen\r\nX\r\n", "t").first, 0); // fields over lines, CRLF
    EXPECT_EQ(rm().getSprite("t")->getColor(), GREEN);
    EXPECT_EQ(rm().getSprite("t")->getFrame(0).getString(), "X");
    const auto [result, log] = load("3 2 2 1 purple\nab\ncd\nef\n", "short");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(test::countLines(log, "WARNING: ResourceManager::loadSprite(): Invalid color: 'PURPLE'"), 1);
    const Sprite* shortSprite = rm().getSprite("short");
    EXPECT_EQ(shortSprite->getColor(), WHITE);
    EXPECT_EQ(shortSprite->getFrame(1).getString(), "ef");
    EXPECT_EQ(shortSprite->getFrame(2).getString(), "");
    EXPECT_EQ(load("1 1 1 0 red\nB\n", "s").first, 0);
    EXPECT_EQ(rm().getSprite("s")->getFrame(0).getString(), "abcd f"); // the first under a label
    EXPECT_EQ(rm().getSprite("S"), nullptr);
}

TEST_F(Resources, ANoteMayNameTheTransparentCharacterAndNoFileOfOursReadsDifferently) {
    EXPECT_EQ(load("1 3 1 0 red   transparent=#  a gap in the middle\na#c\n", "gap"), std::make_pair(0, std::string()));
    EXPECT_EQ(rm().getSprite("gap")->getTransparency(), '#');
    EXPECT_EQ(rm().getSprite("gap")->getFrame(0).getString(), "a#c");
    for (const char* header : {"1 1 1 0 red transparent=##\n", "1 1 1 0 red\ttransparent= #\r\n", "1 1 1 0 red transparent=\n"}) {
        const auto [result, log] = load(header + std::string("A\n"), header);
        EXPECT_EQ(result, 0);
        EXPECT_EQ(test::countLines(log, "WARNING: ResourceManager::loadSprite(): No single character after 'transparent='"), 1) << header;
        EXPECT_EQ(rm().getSprite(header)->getTransparency(), 0);
    }
    EXPECT_EQ(load("1 1 1 0 red a note on transparent=#\nA\n", "later").second, "");
    EXPECT_EQ(rm().getSprite("later")->getTransparency(), 0); // only at the note's start
    for (const char* folder : {"sprites", "examples/coins/sprites"}) {
        for (const auto& file : std::filesystem::directory_iterator(test::sourceDir() / folder)) {
            CaptureStdout();
            EXPECT_EQ(rm().loadSprite(file.path().string(), file.path().string()), 0);
            EXPECT_EQ(GetCapturedStdout(), "");
            EXPECT_EQ(rm().getSprite(file.path().string())->getTransparency(), 0) << file.path();
        }
    }
    // Start-up says where the data is.
    rm().shutDown();
    rm().setDataFolder(test::sourceDir() / "sprites");
    LogManager::getInstance().setVerbosity(1); // a start-up notice
    CaptureStdout();
    ASSERT_EQ(rm().startUp(), 0);
    LogManager::getInstance().setVerbosity(0);
    rm().setDataFolder({});
    EXPECT_EQ(test::countLines(GetCapturedStdout(), "INFO: ResourceManager::startUp(): Data folder: '" +
                                                        (test::sourceDir() / "sprites").string() + "'"), 1);
}

TEST_F(Resources, BadFilesEndQuicklyWithALogLineAndTheTableHasALimit) {
    CaptureStdout();
    EXPECT_EQ(rm().loadSprite("missing.txt", "x"), -1);
    EXPECT_EQ(test::countLines(GetCapturedStdout(), "Failed to open file: 'missing.txt'"), 1);
    const auto [result, log] = load("1 1 1 0 " + std::string(100000, 'x') + "\nA\n");
    EXPECT_EQ(result, 0);
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) EXPECT_LT(line.size(), 200u); // the word is quoted, not copied whole
    rm().shutDown();
    CaptureStdout();
    EXPECT_EQ(rm().loadSprite("sprite.txt", "x"), -1); // not started: says so
    EXPECT_EQ(rm().loadSound("beep.mp3", "x"), -1);
    EXPECT_EQ(test::countLines(GetCapturedStdout(), "before the resource manager has started"), 2);
    ASSERT_EQ(rm().startUp(), 0);
    for (const char* header : {"", "1 1 1\n", "one 1 1 0 red\n", "1 -3 1 0 red\n", "99999999999 1 1 0 red\n"}) {
        EXPECT_EQ(test::countLines(load(header).second, "Failed to parse sprite header"), 1) << header;
    }
    // Refused from the header, before anything is allocated or read.
    for (const char* huge : {"2000000000 1 1 0 red\nA\n", "1 3 2000000000 0 red\nabc\nabc\nabc\n"}) {
        const auto [result, log] = load(huge);
        EXPECT_EQ(result, -1);
        EXPECT_EQ(test::countLines(log, "Sprite too large"), 1) << huge;
    }
    EXPECT_EQ(rm().getSpriteCount(), 0);
    std::istringstream fromMemory("1 2 1 0 red\nab\n");
    EXPECT_EQ(rm().loadSpriteFromStream(fromMemory, "memory"), 0);
    EXPECT_EQ(rm().getSprite("memory")->getFrame(0).getString(), "ab");
    while (rm().getSpriteCount() < ResourceManager::SPRITE_TABLE_SIZE) ASSERT_EQ(load("0 1 1 0 red\n").first, 0);
    CaptureStdout();
    EXPECT_EQ(rm().loadSprite("missing.txt", "x"), -1);
    EXPECT_EQ(GetCapturedStdout(), ""); // full: the file is not even opened
}

#ifndef _WIN32
// What is not a file in a sprite's or a sound's place is named for what it is and never
// opened: a folder would read as an empty header, a FIFO or a device would block the game.
TEST_F(Resources, HostileFilesThatAreNoFilesAreNamedAndNeverOpened) {
    std::filesystem::create_directory("folder");
    ASSERT_EQ(::mkfifo("fifo", 0600), 0);
    std::filesystem::create_symlink("/dev/zero", "device");
    std::filesystem::create_symlink("gone", "dangling");
    const std::pair<const char*, const char*> cases[] = {
        {"folder", "is a folder"}, {"fifo", "is a FIFO"}, {"device", "is a device"}};
    for (const auto& [file, reason] : cases) {
        CaptureStdout();
        EXPECT_EQ(rm().loadSprite(file, "x"), -1);
        EXPECT_EQ(rm().loadSound(file, "x"), -1);
        const std::string out = GetCapturedStdout();
        EXPECT_EQ(test::countLines(out, std::string("ERROR: ResourceManager::loadSprite(): Failed to open file: '") + file +
                                            "': it " + reason), 1) << out;
        EXPECT_EQ(test::countLines(out, std::string("ERROR: Sound::loadFromFile(): Cannot use '") + file +
                                            "': it " + reason), 1) << out;
    }
    // A link to nothing is a missing file, told as one always was: the sprite loader logs it,
    // the sound loader says it on SFML's error stream.
    CaptureStdout();
    EXPECT_EQ(rm().loadSprite("dangling", "x"), -1);
    EXPECT_EQ(rm().loadSound("dangling", "x"), -1);
    const std::string out = GetCapturedStdout();
    EXPECT_EQ(test::countLines(out, "ERROR: ResourceManager::loadSprite(): Failed to open file: 'dangling'"), 1) << out;
    EXPECT_EQ(test::countLines(out, "Sound::loadFromFile"), 0) << out;
    EXPECT_EQ(rm().getSpriteCount() + rm().getSoundCount(), 0);
}
#endif

/// A silent sound file of some seconds, written where the test runs.
std::string silence(const char* name, float seconds) {
    const std::vector<std::int16_t> samples(static_cast<std::size_t>(22050 * seconds), 0);
    sf::SoundBuffer buffer(samples.data(), samples.size(), 1, 22050, {sf::SoundChannel::Mono});
    EXPECT_TRUE(buffer.saveToFile(name));
    return name;
}

TEST_F(Resources, SoundsLoadFromMp3AndLiveUntilShutDown) {
    const std::string beep = (test::sourceDir() / "tests/data/beep.mp3").string();
    EXPECT_EQ(rm().loadSound(beep, "Scream"), 0);
    EXPECT_EQ(rm().loadSound(beep, "Hoot"), 0);
    CaptureStdout();
    EXPECT_EQ(rm().loadSound("missing.mp3", "x"), -1);
    EXPECT_EQ(GetCapturedStdout(), ""); // SFML's error stream says it, as it always has
    EXPECT_EQ(rm().loadSound((test::sourceDir() / "tests/data/not-audio.mp3").string(), "x"), -1);
    EXPECT_EQ(rm().getSoundCount(), 2);
    Sound* hoot = rm().getSound("Hoot");
    ASSERT_NE(hoot, rm().getSound("Scream"));
    EXPECT_EQ(rm().getSound("hoot"), nullptr);
    EXPECT_NEAR(hoot->getBuffer().getDuration().asSeconds(), 0.1f, 0.01f);
    hoot->setLooping(true);
    hoot->play();
    EXPECT_TRUE(hoot->isPlaying());
    EXPECT_TRUE(hoot->getSound()->isLooping());
    hoot->stop();
    EXPECT_FALSE(hoot->isPlaying());
    hoot->play();
    while (rm().getSoundCount() < ResourceManager::SOUND_TABLE_SIZE) ASSERT_EQ(rm().loadSound(beep, "f"), 0);
    EXPECT_EQ(rm().loadSound(beep, "one too many"), -1);
    rm().shutDown(); // destroys a playing sound safely
    EXPECT_EQ(rm().getSound("Hoot"), nullptr);
}

TEST_F(Resources, PlaysOfASoundOverlapOnItsVoicesAndTheOldestIsCutWhenAllAreBusy) {
    ASSERT_EQ(rm().loadSound(silence("long.wav", 5), "shot"), 0);
    Sound* shot = rm().getSound("shot");
    EXPECT_EQ(shot->getVoiceCount(), Sound::DEFAULT_VOICES);
    shot->setVoiceCount(3);
    shot->setLooping(true); // reaches voices made later too
    for (int i = 0; i < 3; ++i) shot->play();
    EXPECT_EQ(shot->getPlayingCount(), 3);
    ASSERT_NE(shot->getVoice(2), nullptr);
    EXPECT_EQ(shot->getVoice(3), nullptr);
    EXPECT_TRUE(shot->getVoice(2)->isLooping());
    // Marked by where each stands: the fourth play cuts the first and starts it again.
    for (int v = 0; v < 3; ++v) shot->getVoice(v)->setPlayingOffset(sf::seconds(2.0f + 0.5f * static_cast<float>(v)));
    shot->play();
    EXPECT_EQ(shot->getPlayingCount(), 3);
    EXPECT_LT(shot->getVoice(0)->getPlayingOffset(), sf::seconds(1));
    EXPECT_GE(shot->getVoice(1)->getPlayingOffset(), sf::seconds(2.5f));
    shot->play(); // then the second, now the oldest
    EXPECT_LT(shot->getVoice(1)->getPlayingOffset(), sf::seconds(1));
    EXPECT_GE(shot->getVoice(2)->getPlayingOffset(), sf::seconds(3));
    // A voice that has finished is free: the next play takes it and cuts nothing.
    shot->getVoice(2)->setPlayingOffset(sf::seconds(3.5f));
    shot->getVoice(0)->stop();
    shot->play();
    EXPECT_LT(shot->getVoice(0)->getPlayingOffset(), sf::seconds(1));
    EXPECT_GE(shot->getVoice(2)->getPlayingOffset(), sf::seconds(3.5f));
    // Fewer voices stop the plays started longest ago; the range is 1 to MAX_VOICES.
    shot->setVoiceCount(1);
    EXPECT_EQ(shot->getPlayingCount(), 1);
    EXPECT_LT(shot->getSound()->getPlayingOffset(), sf::seconds(1)); // the last play, on voice 0 above, stays
    shot->play(); // one voice: a play while it sounds starts it again
    EXPECT_EQ(shot->getPlayingCount(), 1);
    shot->setVoiceCount(0);
    EXPECT_EQ(shot->getVoiceCount(), 1);
    shot->setVoiceCount(1000);
    EXPECT_EQ(shot->getVoiceCount(), Sound::MAX_VOICES);
    for (int i = 0; i < Sound::MAX_VOICES + 3; ++i) shot->play();
    EXPECT_EQ(shot->getPlayingCount(), Sound::MAX_VOICES);
    shot->stop();
    EXPECT_EQ(shot->getPlayingCount(), 0);
    Sound unloaded; // plays nothing, and says so
    unloaded.play();
    EXPECT_FALSE(unloaded.isPlaying());
    EXPECT_EQ(unloaded.getSound(), nullptr);
}

TEST_F(Resources, EverySoundAndMusicIsHeardAtItsVolumeTimesTheMasterVolume) {
    ASSERT_EQ(rm().loadSound(silence("a.wav", 1), "a"), 0);
    ASSERT_EQ(rm().loadMusic(silence("tune.wav", 3), "tune"), 0);
    Sound* a = rm().getSound("a");
    Music* tune = rm().getMusic("tune");
    a->setVolume(50);
    tune->setVolume(80);
    rm().setMasterVolume(50);
    a->play();
    a->play(); // a voice made after the volumes were set
    EXPECT_FLOAT_EQ(a->getVoice(0)->getVolume(), 25.0f);
    EXPECT_FLOAT_EQ(a->getVoice(1)->getVolume(), 25.0f);
    EXPECT_FLOAT_EQ(tune->getMusic()->getVolume(), 40.0f);
    rm().setMasterVolume(250); // brought into 0 to 100
    EXPECT_EQ(rm().getMasterVolume(), 100.0f);
    EXPECT_FLOAT_EQ(a->getVoice(1)->getVolume(), 50.0f);
    EXPECT_FLOAT_EQ(tune->getMusic()->getVolume(), 80.0f);
    a->setVolume(-3);
    EXPECT_EQ(a->getVoice(0)->getVolume(), 0.0f);
    a->setVolume(std::nanf(""));
    EXPECT_EQ(a->getVolume(), 100.0f);
    rm().setMasterVolume(0);
    EXPECT_EQ(tune->getMusic()->getVolume(), 0.0f);
    rm().setMasterVolume(100); // kept across start-ups: back as it was for the other tests
}

TEST_F(Resources, MusicStreamsInALoopAndFilesThatAreNoMusicAreRefusedWithALogLine) {
    ASSERT_EQ(rm().loadMusic(silence("tune.wav", 3), "tune"), 0);
    Music* tune = rm().getMusic("tune");
    ASSERT_NE(tune, nullptr);
    EXPECT_EQ(rm().getMusic("Tune"), nullptr);
    EXPECT_TRUE(tune->isLooping());
    EXPECT_TRUE(tune->getMusic()->isLooping());
    tune->play();
    EXPECT_TRUE(tune->isPlaying());
    tune->pause();
    EXPECT_FALSE(tune->isPlaying());
    tune->setLooping(false);
    EXPECT_FALSE(tune->getMusic()->isLooping());
    tune->play();
    std::filesystem::create_directory("folder.ogg");
    std::vector<std::pair<std::string, std::string>> bad = {
        {"missing.ogg", "Music::openFromFile(): Cannot use 'missing.ogg': it does not exist"},
        {"folder.ogg", "Music::openFromFile(): Cannot use 'folder.ogg': it is a folder"},
    };
    const std::string notAudio = (test::sourceDir() / "tests/data/not-audio.mp3").string();
    bad.emplace_back(notAudio, "Music::openFromFile(): Cannot use '" + notAudio + "': it is in no sound format SFML decodes");
#ifndef _WIN32
    ASSERT_EQ(::mkfifo("fifo.ogg", 0600), 0);
    bad.emplace_back("fifo.ogg", "Music::openFromFile(): Cannot use 'fifo.ogg': it is a FIFO");
#endif
    for (const auto& [file, reason] : bad) { // a FIFO waited on would hang the test here
        CaptureStdout();
        EXPECT_EQ(rm().loadMusic(file, "bad"), -1) << file;
        const std::string out = GetCapturedStdout();
        EXPECT_EQ(test::countLines(out, "ERROR: " + reason), 1) << out;
        EXPECT_EQ(test::countLines(out, "ERROR"), 1) << out; // one line a file
    }
    EXPECT_EQ(rm().getMusicCount(), 1);
    while (rm().getMusicCount() < ResourceManager::MUSIC_TABLE_SIZE) ASSERT_EQ(rm().loadMusic("tune.wav", "more"), 0);
    CaptureStdout();
    EXPECT_EQ(rm().loadMusic("missing.ogg", "x"), -1);
    EXPECT_EQ(GetCapturedStdout(), ""); // full: the file is not even looked at
    rm().shutDown(); // stops and closes the playing stream
    EXPECT_EQ(rm().getMusic("tune"), nullptr);
    CaptureStdout();
    EXPECT_EQ(rm().loadMusic("tune.wav", "x"), -1);
    EXPECT_EQ(test::countLines(GetCapturedStdout(), "Cannot load 'tune.wav' before the resource manager has started"), 1);
}

/// The frames an object shows in successive draws (no display: drawing is refused, timing goes on).
std::vector<int> shown(Sprite& sprite, int draws) {
    auto* o = new Object;
    o->setSprite(&sprite);
    std::vector<int> indexes;
    CaptureStdout();
    for (int i = 0; i < draws; ++i) {
        indexes.push_back(o->getAnimation().index);
        o->draw();
    }
    GetCapturedStdout();
    return indexes;
}

Sprite sprite(int frames, int slowdown) {
    Sprite s(frames);
    s.setSlowdown(slowdown);
    for (int f = 0; f < frames; ++f) s.addFrame(Frame(1, 1, "x"));
    return s;
}

TEST_F(Resources, AnimationAdvancesBySlowdownAndNeverDividesByZero) {
    Sprite three = sprite(3, 1), slow = sprite(2, 3), frozen = sprite(3, 0), none = sprite(0, 2);
    EXPECT_EQ(shown(three, 5), (std::vector<int>{0, 1, 2, 0, 1}));
    EXPECT_EQ(shown(slow, 7), (std::vector<int>{0, 0, 0, 1, 1, 1, 0}));
    EXPECT_EQ(shown(frozen, 3), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(shown(none, 3), (std::vector<int>{0, 0, 0}));
    Sprite four = sprite(4, 1);
    auto* o = new Object;
    o->setSprite(&four);
    CaptureStdout();
    for (int i = 0; i < 3; ++i) o->draw();
    four = sprite(2, 1); // the record lost frames: index 3 is out of range
    EXPECT_EQ(o->draw(), -1);
    EXPECT_EQ(o->getAnimation().index, 0); // brought back into range
    GetCapturedStdout();
    EXPECT_EQ(Frame(3, 3, "abcdefg").getRow(2), "g");
    EXPECT_EQ(Frame(2000000000, 3, "abc").getRow(2), ""); // r x width beyond an int
}

} // namespace
