// Damaged sound files, made here from real ones: each is refused with one log line naming
// it, or loads when it is still whole enough, and none crashes a decoder (run under the
// sanitizers too). Among them the MP3s that SFML's reader would free twice.
#include <cmath>
#include <random>

#include <SFML/Audio/OutputSoundFile.hpp>

#include <mx/DisplayManager.h>
#include <mx/LogManager.h>
#include <mx/Music.h>
#include <mx/ResourceManager.h>
#include <mx/Sound.h>

#include "Program.h"
#include "SoundCheck.h"
#include "TestSupport.h"

using namespace mx;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

using Bytes = std::vector<unsigned char>;

Bytes readBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::filesystem::path& file, const Bytes& bytes) {
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

Bytes cut(const Bytes& bytes, std::size_t size) { return {bytes.begin(), bytes.begin() + static_cast<long>(std::min(size, bytes.size()))}; }

/// The first bytes of a file, then fixed-seed noise.
Bytes withGarbage(const Bytes& bytes, std::size_t keep, std::size_t garbage) {
    Bytes out = cut(bytes, keep);
    std::mt19937 random(7);
    for (std::size_t i = 0; i < garbage; ++i) out.push_back(static_cast<unsigned char>(random()));
    return out;
}

/// A 0.3 s tone written by SFML in a format it reads (by the name's extension).
Bytes tone(const std::string& name) {
    std::vector<std::int16_t> samples(6615);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::int16_t>(8000 * std::sin(0.05 * double(i)));
    {
        sf::OutputSoundFile out;
        EXPECT_TRUE(out.openFromFile(name, 22050, 1, {sf::SoundChannel::Mono})) << name;
        out.write(samples.data(), samples.size());
    }
    return readBytes(name);
}

/// An ID3v2 header: a tag of this many bytes follows.
Bytes id3(std::uint32_t size) {
    return {'I', 'D', '3', 4, 0, 0, static_cast<unsigned char>(size >> 21 & 0x7F), static_cast<unsigned char>(size >> 14 & 0x7F),
            static_cast<unsigned char>(size >> 7 & 0x7F), static_cast<unsigned char>(size & 0x7F)};
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class HostileSounds : public test::ResourceTest {
protected:
    test::ScratchDir dir{"sounds"};
};

/// A file that must be refused, and the words its log line gives.
struct Refused {
    std::string name;
    Bytes bytes;
    std::string reason;
};

TEST_F(HostileSounds, DamagedFilesOfEveryFormatAreRefusedWithOneLineNamingThem) {
    const Bytes mp3 = readBytes("sounds/BirdCall_Sonavox.mp3");
    const Bytes wav = tone("tone.wav"), ogg = tone("tone.ogg"), flac = tone("tone.flac");
    Bytes tagged = mp3; // an ID3v1 tag at the end
    tagged.insert(tagged.end(), 128, 0);
    std::copy_n("TAG", 3, tagged.end() - 128);
    ASSERT_GT(mp3.size(), 10000u);
    Bytes nineChannels = wav; // SFML's WAV reader asserts it knows every channel's place
    nineChannels[22] = 9;
    Bytes manyChannels = wav; // and reads its channel map past its end
    manyChannels[22] = 21;
    Bytes endless = flac; // a header claiming 2^36 - 1 samples: nothing is allocated for them
    endless[21] |= 0x0F;
    for (int i = 22; i < 26; ++i) endless[static_cast<std::size_t>(i)] = 0xFF;
    const std::string notMp3 = "no MPEG audio frame in it decodes";
    const std::string afterTag = "an ID3 tag without an MPEG audio frame that decodes after it";
    const std::vector<Refused> refused = {
        {"empty.mp3", {}, "is no sound: the file is empty"},
        {"ten.mp3", cut(mp3, 10), notMp3},
        {"hundred.mp3", cut(mp3, 100), notMp3},
        {"sync.mp3", withGarbage(mp3, 4, 3000), notMp3},
        {"half.mp3", cut(mp3, mp3.size() / 2), "is cut short"}, // its info frame counts the frames
        {"tag.mp3", id3(0), afterTag},
        {"tag-claims-more.mp3", id3(5000) + Bytes(20, 0), afterTag},
        {"tag-garbage.mp3", withGarbage(id3(0), 10, 3000), afterTag},
        {"tag-over-end.mp3", id3(200000) + mp3, afterTag}, // the frames lie inside what the tag skips
        {"nine.wav", nineChannels, "is no sound: a WAV file of 9 channels (at most 8)"},
        {"channels.wav", manyChannels, "is no sound: a WAV file of 21 channels (at most 8)"},
        {"endless.flac", endless, "longer than 134217728 samples"},
        {"empty.wav", {}, "the file is empty"},
        {"empty.ogg", {}, "the file is empty"},
        {"empty.flac", {}, "the file is empty"},
    };
    // Refused by SFML itself, after the check: the engine's line names them all the same.
    std::vector<std::pair<std::string, Bytes>> undecodable;
    for (const auto& [name, bytes] : {std::pair{std::string("wav"), wav}, {"ogg", ogg}, {"flac", flac}}) {
        undecodable.emplace_back("magic." + name, cut(bytes, 4));
        undecodable.emplace_back("garbage." + name, withGarbage(bytes, 4, 2000));
        undecodable.emplace_back("header." + name, cut(bytes, name == "wav" ? 44 : name == "ogg" ? 58 : 42));
    }
    undecodable.emplace_back("cut-short.flac", cut(flac, flac.size() / 3)); // fewer samples than it claims
    // Cut where its format keeps no length, or one its decoder corrects: what is left may play.
    const std::vector<std::pair<std::string, Bytes>> mayLoad = {
        {"cut-short.ogg", cut(ogg, ogg.size() / 2)}, {"cut-short.wav", cut(wav, wav.size() / 2)},
        {"id3v1.mp3", tagged}};

    int label = 0;
    auto expectRefused = [&](const std::string& name, const std::string& reason) {
        CaptureStdout();
        EXPECT_EQ(rm().loadSound(name, "s" + std::to_string(++label)), -1) << name;
        const std::string log = GetCapturedStdout();
        EXPECT_EQ(test::countLines(log, "ERROR: Sound::loadFromFile(): Cannot use '" + name + "': "), 1) << name << log;
        EXPECT_EQ(test::countLines(log, reason), 1) << name << log;
        Sound direct; // straight, not through the resource manager
        CaptureStdout();
        EXPECT_FALSE(direct.loadFromFile(name));
        EXPECT_EQ(test::countLines(GetCapturedStdout(), "Cannot use '" + name + "': "), 1);
        EXPECT_EQ(direct.getSound(), nullptr);
    };
    for (const auto& [name, bytes, reason] : refused) {
        writeBytes(name, bytes);
        expectRefused(name, reason);
        if (name == "endless.flac" || name == "half.mp3") {
            continue; // what a stream decodes up to its end plays: it is refused only as a sound effect
        }
        Music music; // the same check guards streamed music
        CaptureStdout();
        EXPECT_FALSE(music.openFromFile(name)) << name;
        EXPECT_EQ(test::countLines(GetCapturedStdout(), "ERROR: Music::openFromFile(): Cannot use '" + name + "': "), 1)
            << name;
    }
    for (const auto& [name, bytes] : undecodable) {
        writeBytes(name, bytes);
        expectRefused(name, "Cannot use");
    }
    EXPECT_EQ(rm().getSoundCount(), 0);
    for (const auto& [name, bytes] : mayLoad) {
        writeBytes(name, bytes);
        CaptureStdout();
        const int result = rm().loadSound(name, name);
        const std::string log = GetCapturedStdout();
        if (result == 0) {
            EXPECT_GT(rm().getSound(name)->getBuffer().getSampleCount(), 0u) << name;
            EXPECT_EQ(log, "") << name;
        } else {
            EXPECT_EQ(test::countLines(log, "ERROR: Sound::loadFromFile(): Cannot use '" + name + "': "), 1) << name << log;
        }
    }
}

TEST_F(HostileSounds, WholeFilesLoadAsTheyDidTheirEndsCutTagsAroundThemAndMusicOutlivesItsFile) {
    const Bytes mp3 = readBytes("sounds/BirdCall_Sonavox.mp3");
    const Bytes wav = tone("tone.wav");
    const std::vector<std::pair<std::string, Bytes>> whole = {
        {"id3.mp3", id3(300) + Bytes(300, 0) + mp3},
        {"long-tail.wav", wav + Bytes(5000, 0)},
    };
    for (const auto& [name, bytes] : whole) writeBytes(name, bytes);
    for (const std::string name : {"sounds/BirdCall_Sonavox.mp3", "sounds/BirdHoot_Sonavox.mp3", "tone.wav", "tone.ogg",
                                   "tone.flac", "id3.mp3", "long-tail.wav"}) {
        if (!std::filesystem::exists(name)) (void)tone(name);
        CaptureStdout();
        const int result = rm().loadSound(name, name);
        EXPECT_EQ(GetCapturedStdout(), "") << name;
        ASSERT_EQ(result, 0) << name;
        const sf::SoundBuffer& buffer = rm().getSound(name)->getBuffer();
        EXPECT_GT(buffer.getSampleCount(), 1000u) << name;
        EXPECT_EQ(buffer.getChannelCount(), 1u) << name;
    }
    EXPECT_EQ(rm().getSound("tone.flac")->getBuffer().getSampleCount(), 6615u); // every sample, none invented
    EXPECT_EQ(rm().getSound("tone.wav")->getBuffer().getSampleCount(), 6615u);
    EXPECT_EQ(rm().getSound("id3.mp3")->getBuffer().getSampleCount(),
              rm().getSound("sounds/BirdCall_Sonavox.mp3")->getBuffer().getSampleCount()); // the tag is skipped
    for (const char* example : {"examples/bricks/sounds/bounce.wav", "examples/bricks/sounds/tune.wav",
                                "examples/coins/sounds/ding.wav", "tests/data/beep.mp3"}) {
        EXPECT_EQ(rm().loadSound((test::sourceDir() / example).string(), example), 0) << example;
    }
    Music music; // read whole when opened: the file may go while it plays
    ASSERT_TRUE(music.openFromFile("tone.ogg"));
    std::filesystem::remove("tone.ogg");
    music.play();
    EXPECT_TRUE(music.isPlaying());
    ASSERT_TRUE(music.openFromFile("tone.flac")); // a second file replaces the first's stream
    EXPECT_NEAR(music.getMusic()->getDuration().asSeconds(), 0.3f, 0.01f);
}

TEST(SoundCheck, FrameHeadersAloneOrACutFirstFrameAreNoMp3) {
    const Bytes mp3 = readBytes(test::sourceDir() / "sounds/BirdHoot_Sonavox.mp3");
    EXPECT_EQ(whyNotSound(mp3), std::nullopt);
    // Every cut inside the first frame (the LAME info frame) is refused; past it the file plays.
    const std::size_t firstFrame = 313; // 96 kbit/s at 44.1 kHz
    for (std::size_t size = 10; size < firstFrame; size += 37) {
        EXPECT_NE(whyNotSound(cut(mp3, size)), std::nullopt) << size;
    }
    EXPECT_EQ(whyNotSound(cut(mp3, 3 * firstFrame)), std::nullopt);
    Bytes headers; // valid headers a frame apart, nothing decodable between them
    for (int i = 0; i < 12; ++i) headers = headers + cut(mp3, 4) + Bytes(firstFrame - 4, 0xFF);
    EXPECT_NE(whyNotSound(headers), std::nullopt);
    EXPECT_EQ(whyNotSound(Bytes{'R', 'I', 'F', 'F'}), std::nullopt); // not MP3: SFML's own readers decide
}

/// The game as the program runs it without a window, in a folder of the game's data.
class DamagedGameData : public test::HeadlessTest {};

TEST_F(DamagedGameData, TheGameRunsOnWithoutADamagedSoundAndSaysWhichOne) {
    writeBytes("sounds/BirdCall_Sonavox.mp3", cut(readBytes("sounds/BirdCall_Sonavox.mp3"), 100));
    std::filesystem::copy_file(test::sourceDir() / "mx-font.ttf", "mx-font.ttf");
    ProgramOptions options;
    options.headless = true;
    options.frames = 3;
    CaptureStdout();
    EXPECT_EQ(runProgram(options), 0);
    const std::string log = GetCapturedStdout();
    EXPECT_EQ(test::countLines(log, "ERROR: "), 1) << log;
    EXPECT_EQ(test::countLines(log, "ERROR: Sound::loadFromFile(): Cannot use '"), 1) << log;
    EXPECT_EQ(test::countLines(log, "sounds/BirdCall_Sonavox.mp3': it is no sound: "), 1) << log;
    EXPECT_EQ(test::countLines(log, "world hash: "), 1) << log;
}

} // namespace
