#include "SoundCheck.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>

#include <SFML/Audio/InputSoundFile.hpp>

#include "DataFile.h"

namespace mx {

namespace {

using Bytes = std::span<const unsigned char>;

// ---- MPEG audio, as SFML's MP3 reader and its decoder (dr_mp3 0.7) see it ----------------

constexpr int HEADER_BYTES = 4;
constexpr int MAX_SYNC_MATCHES = 10;
constexpr int MAX_FREE_FORMAT_FRAME_BYTES = 2304;
/// What the decoder reads at first: the frame it decodes to accept the file lies in there.
constexpr std::size_t FIRST_CHUNK_BYTES = 65536;

int layerBits(const unsigned char* h) { return (h[1] >> 1) & 3; }
int bitrateIndex(const unsigned char* h) { return h[2] >> 4; }
int sampleRateIndex(const unsigned char* h) { return (h[2] >> 2) & 3; }
bool isMpeg1(const unsigned char* h) { return (h[1] & 0x8) != 0; }
bool isNotMpeg25(const unsigned char* h) { return (h[1] & 0x10) != 0; }
bool isLayer1(const unsigned char* h) { return (h[1] & 6) == 6; }
bool isFrame576(const unsigned char* h) { return (h[1] & 14) == 2; }
bool isFreeFormat(const unsigned char* h) { return (h[2] & 0xF0) == 0; }
bool isMono(const unsigned char* h) { return (h[3] & 0xC0) == 0xC0; }
bool hasCrc(const unsigned char* h) { return (h[1] & 1) == 0; }
int stereoMode(const unsigned char* h) { return (h[3] >> 6) & 3; }
int stereoModeExtension(const unsigned char* h) { return (h[3] >> 4) & 3; }

bool headerValid(const unsigned char* h) {
    return h[0] == 0xFF && ((h[1] & 0xF0) == 0xF0 || (h[1] & 0xFE) == 0xE2) && layerBits(h) != 0 &&
           bitrateIndex(h) != 15 && sampleRateIndex(h) != 3;
}

/// Whether a second header continues the stream of the first (the decoder's own test).
bool headersMatch(const unsigned char* h1, const unsigned char* h2) {
    return headerValid(h2) && ((h1[1] ^ h2[1]) & 0xFE) == 0 && ((h1[2] ^ h2[2]) & 0x0C) == 0 &&
           isFreeFormat(h1) == isFreeFormat(h2);
}

unsigned bitrateKbps(const unsigned char* h) {
    static constexpr unsigned char HALF_RATE[2][3][15] = {
        {{0, 4, 8, 12, 16, 20, 24, 28, 32, 40, 48, 56, 64, 72, 80},
         {0, 4, 8, 12, 16, 20, 24, 28, 32, 40, 48, 56, 64, 72, 80},
         {0, 16, 24, 28, 32, 40, 48, 56, 64, 72, 80, 88, 96, 112, 128}},
        {{0, 16, 20, 24, 28, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160},
         {0, 16, 24, 28, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192},
         {0, 16, 32, 48, 64, 80, 96, 112, 128, 144, 160, 176, 192, 208, 224}}};
    return 2u * HALF_RATE[isMpeg1(h) ? 1 : 0][layerBits(h) - 1][bitrateIndex(h)];
}

unsigned sampleRateHz(const unsigned char* h) {
    static constexpr unsigned HZ[3] = {44100, 48000, 32000};
    return HZ[sampleRateIndex(h)] >> (isMpeg1(h) ? 0 : 1) >> (isNotMpeg25(h) ? 0 : 1);
}

unsigned frameSamples(const unsigned char* h) { return isLayer1(h) ? 384u : (1152u >> (isFrame576(h) ? 1 : 0)); }

int frameBytes(const unsigned char* h, int freeFormatBytes) {
    int bytes = static_cast<int>(frameSamples(h) * bitrateKbps(h) * 125 / sampleRateHz(h));
    if (isLayer1(h)) {
        bytes &= ~3;
    }
    return bytes != 0 ? bytes : freeFormatBytes;
}

int padding(const unsigned char* h) { return (h[2] & 0x2) != 0 ? (isLayer1(h) ? 4 : 1) : 0; }

bool framesFollow(const unsigned char* h, int bytes, int firstFrameBytes) {
    int at = 0;
    for (int matches = 0; matches < MAX_SYNC_MATCHES; ++matches) {
        at += frameBytes(h + at, firstFrameBytes) + padding(h + at);
        if (at + HEADER_BYTES > bytes) {
            return matches > 0;
        }
        if (!headersMatch(h, h + at)) {
            return false;
        }
    }
    return true;
}

/// Where the decoder's first frame starts in its buffer, and its size with padding (0: none).
struct FoundFrame {
    int at = 0;
    int bytes = 0;
};

FoundFrame findFrame(const unsigned char* data, int size) {
    int freeFormatBytes = 0;
    for (int i = 0; i < size - HEADER_BYTES; ++i) {
        const unsigned char* h = data + i;
        if (!headerValid(h)) {
            continue;
        }
        int bytes = frameBytes(h, freeFormatBytes);
        int withPadding = bytes + padding(h);
        for (int k = HEADER_BYTES; bytes == 0 && k < MAX_FREE_FORMAT_FRAME_BYTES && i + 2 * k < size - HEADER_BYTES;
             ++k) {
            if (headersMatch(h, h + k)) {
                const int guess = k - padding(h);
                const int next = guess + padding(h + k);
                if (i + k + next + HEADER_BYTES > size || !headersMatch(h, h + k + next)) {
                    continue;
                }
                withPadding = k;
                bytes = guess;
                freeFormatBytes = guess;
            }
        }
        if ((bytes != 0 && i + withPadding <= size && framesFollow(h, size - i, bytes)) ||
            (i == 0 && withPadding == size)) {
            return {i, withPadding};
        }
        freeFormatBytes = 0;
    }
    return {};
}

/// The decoder's bit reader: past its end it gives zeros and counts on.
class Bits {
public:
    Bits(const unsigned char* data, int bytes) : data(data), limit(bytes * 8) {}
    std::uint32_t get(int n) {
        const int from = pos;
        pos += n;
        if (pos > limit) {
            return 0;
        }
        std::uint32_t value = 0;
        for (int bit = from; bit < pos; ++bit) {
            value = (value << 1) | ((data[bit >> 3] >> (7 - (bit & 7))) & 1u);
        }
        return value;
    }
    [[nodiscard]] bool overran() const { return pos > limit; }
    [[nodiscard]] int position() const { return pos; }
    [[nodiscard]] int end() const { return limit; }

private:
    const unsigned char* data;
    int pos = 0;
    int limit;
};

/// The layer III side information of a frame: where its main data begins (it must begin in
/// this frame, as nothing came before it), or -1 when the decoder rejects it.
int layer3MainDataBegin(Bits& bits, const unsigned char* h) {
    int granules = isMono(h) ? 1 : 2;
    int mainDataBegin = 0;
    if (isMpeg1(h)) {
        granules *= 2;
        mainDataBegin = static_cast<int>(bits.get(9));
        bits.get(7 + granules);
    } else {
        mainDataBegin = static_cast<int>(bits.get(8 + granules) >> granules);
    }
    int part23Sum = 0;
    for (int g = 0; g < granules; ++g) {
        part23Sum += static_cast<int>(bits.get(12));
        if (bits.get(9) > 288) {
            return -1;
        }
        bits.get(8);
        bits.get(isMpeg1(h) ? 4 : 9);
        if (bits.get(1) != 0) {
            if (bits.get(2) == 0) {
                return -1;
            }
            bits.get(1);
            bits.get(10);
            bits.get(9);
        } else {
            bits.get(15);
            bits.get(7);
        }
        if (isMpeg1(h)) {
            bits.get(1);
        }
        bits.get(2);
    }
    if (part23Sum + bits.position() > bits.end() + mainDataBegin * 8) {
        return -1;
    }
    return mainDataBegin;
}

/// Reads a layer I or II frame's allocation, scale factors and samples as the decoder does;
/// false when they run past the frame's end, which the decoder rejects.
bool layer12Fits(Bits& bits, const unsigned char* h) {
    struct Alloc {
        unsigned char tableOffset, width, bands;
    };
    static constexpr Alloc L1[] = {{76, 4, 32}};
    static constexpr Alloc L2M2[] = {{60, 4, 4}, {44, 3, 7}, {44, 2, 19}};
    static constexpr Alloc L2M1[] = {{0, 4, 3}, {16, 4, 8}, {32, 3, 12}, {40, 2, 7}};
    static constexpr Alloc L2M1_LOW[] = {{44, 4, 2}, {44, 3, 10}};
    static constexpr unsigned char CODES[] = {
        0, 17, 3,  4, 5,  6, 7,  8,  9, 10, 11, 12, 13, 14, 15, 16, 0, 17, 18, 3,  19, 4,  5,  6,  7,  8,  9, 10,
        11, 12, 13, 16, 0, 17, 18, 3, 19, 4, 5, 16, 0, 17, 18, 16, 0, 17, 18, 19, 4,  5,  6,  7,  8,  9,  10, 11,
        12, 13, 14, 15, 0, 17, 18, 3,  19, 4,  5,  6, 7,  8,  9,  10, 11, 12, 13, 14, 0,  2,  3,  4,  5,  6,  7, 8,
        9, 10, 11, 12, 13, 14, 15, 16};
    const int mode = stereoMode(h);
    int stereoBands = mode == 3 ? 0 : mode == 1 ? (stereoModeExtension(h) << 2) + 4 : 32;
    const Alloc* alloc = nullptr;
    int bands = 0;
    if (isLayer1(h)) {
        alloc = L1;
        bands = 32;
    } else if (!isMpeg1(h)) {
        alloc = L2M2;
        bands = 30;
    } else {
        unsigned kbps = bitrateKbps(h) >> (mode != 3 ? 1 : 0);
        if (kbps == 0) {
            kbps = 192;
        }
        alloc = L2M1;
        bands = 27;
        if (kbps < 56) {
            alloc = L2M1_LOW;
            bands = sampleRateIndex(h) == 2 ? 12 : 8;
        } else if (kbps >= 96 && sampleRateIndex(h) != 1) {
            bands = 30;
        }
    }
    stereoBands = std::min(stereoBands, bands);
    std::array<unsigned char, 64> allocation{};
    int nextGroup = 0;
    int width = 0;
    const unsigned char* codes = CODES;
    for (int i = 0; i < bands; ++i) {
        if (i == nextGroup) {
            nextGroup += alloc->bands;
            width = alloc->width;
            codes = CODES + alloc->tableOffset;
            ++alloc;
        }
        unsigned char code = codes[bits.get(width)];
        allocation[static_cast<std::size_t>(2 * i)] = code;
        if (i < stereoBands) {
            code = codes[bits.get(width)];
        }
        allocation[static_cast<std::size_t>(2 * i + 1)] = stereoBands != 0 ? code : 0;
    }
    std::array<unsigned char, 64> scaleCoding{};
    for (int i = 0; i < 2 * bands; ++i) {
        const auto at = static_cast<std::size_t>(i);
        scaleCoding[at] = allocation[at] != 0 ? (isLayer1(h) ? 2 : static_cast<unsigned char>(bits.get(2))) : 6;
    }
    for (int i = 0; i < 2 * bands; ++i) {
        const auto at = static_cast<std::size_t>(i);
        const int mask = allocation[at] != 0 ? 4 + ((19 >> scaleCoding[at]) & 3) : 0;
        for (int m = 4; m != 0; m >>= 1) {
            if ((mask & m) != 0) {
                bits.get(6);
            }
        }
    }
    for (int i = stereoBands; i < bands; ++i) {
        allocation[static_cast<std::size_t>(2 * i + 1)] = 0;
    }
    const int group = isLayer1(h) ? 1 : 3;
    for (int granule = 0; granule < 3; ++granule) {
        for (int j = 0; j < 4; ++j) {
            for (int i = 0; i < 2 * bands; ++i) {
                const int code = allocation[static_cast<std::size_t>(i)];
                if (code == 0) {
                    continue;
                }
                if (code < 17) {
                    for (int k = 0; k < group; ++k) {
                        bits.get(code);
                    }
                } else {
                    const unsigned mod = (2u << (code - 17)) + 1;
                    bits.get(static_cast<int>(mod + 2 - (mod >> 3)));
                }
            }
        }
        if (bits.overran()) {
            return false;
        }
    }
    return true;
}

/// Whether the decoder's first call decodes samples from the first bytes it reads.
bool firstFrameDecodes(Bytes chunk) {
    const int size = static_cast<int>(chunk.size());
    const FoundFrame frame = findFrame(chunk.data(), size);
    if (frame.bytes == 0 || frame.at + frame.bytes > size) {
        return false;
    }
    const unsigned char* h = chunk.data() + frame.at;
    Bits bits(h + HEADER_BYTES, frame.bytes - HEADER_BYTES);
    if (hasCrc(h)) {
        bits.get(16);
    }
    if (layerBits(h) == 1) { // layer III
        const int mainDataBegin = layer3MainDataBegin(bits, h);
        // Its bit reservoir is empty: main data that begins in earlier frames is missing.
        return mainDataBegin == 0 && !bits.overran();
    }
    return layer12Fits(bits, h);
}

bool hasId3Header(Bytes file) {
    return std::memcmp(file.data(), "ID3", 3) == 0 && (file[5] & 15) == 0 && (file[6] & 0x80) == 0 &&
           (file[7] & 0x80) == 0 && (file[8] & 0x80) == 0 && (file[9] & 0x80) == 0;
}

/// A byte widened as the decoder widens a plain char (sign and all).
std::uint32_t asChar(unsigned char byte) { return static_cast<std::uint32_t>(static_cast<char>(byte)); }

/// The bytes the decoder reads first: after an ID3v2 tag, and before ID3v1 and APE tags at
/// the end, as it finds them.
Bytes firstMpegChunk(Bytes file) {
    const auto fileSize = static_cast<std::int64_t>(file.size());
    std::int64_t length = fileSize;
    std::int64_t endOffset = 0;
    if (length > 128 && std::memcmp(file.data() + fileSize - 128, "TAG", 3) == 0) {
        endOffset -= 128;
        length -= 128;
    }
    if (length > 32) {
        const unsigned char* ape = file.data() + fileSize + endOffset - 32;
        if (std::memcmp(ape, "APETAGEX", 8) == 0) {
            const std::uint32_t tagSize = asChar(ape[24]) | asChar(ape[25]) << 8 | asChar(ape[26]) << 16 |
                                          asChar(ape[27]) << 24;
            const std::uint32_t withFooter = 32 + tagSize; // wraps as the decoder's does
            if (withFooter < length) {
                length -= withFooter;
            }
        }
    }
    std::uint64_t cursor = 0;
    if (std::memcmp(file.data(), "ID3", 3) == 0) {
        std::uint64_t tagSize = (std::uint64_t{file[6] & 0x7Fu} << 21) | (std::uint64_t{file[7] & 0x7Fu} << 14) |
                                (std::uint64_t{file[8] & 0x7Fu} << 7) | (file[9] & 0x7Fu);
        if ((file[5] & 0x10) != 0) {
            tagSize += 10;
        }
        cursor = 10 + tagSize;
    }
    const auto size = static_cast<std::uint64_t>(fileSize);
    if (cursor >= size) {
        return {};
    }
    // Reads stop at the tags at the end, unless they began before the cursor.
    const std::uint64_t until = cursor <= static_cast<std::uint64_t>(length) ? static_cast<std::uint64_t>(length) : size;
    const std::uint64_t count = std::min<std::uint64_t>(until - cursor, FIRST_CHUNK_BYTES);
    return file.subspan(static_cast<std::size_t>(cursor), static_cast<std::size_t>(count));
}

std::optional<std::string> whyNotMpeg(Bytes file) {
    const bool tagged = std::memcmp(file.data(), "ID3", 3) == 0;
    if (firstFrameDecodes(firstMpegChunk(file))) {
        return std::nullopt;
    }
    return tagged ? "is no sound: an ID3 tag without an MPEG audio frame that decodes after it"
                  : "is no sound: it starts like MP3, but no MPEG audio frame in it decodes";
}

// ---- WAV -------------------------------------------------------------------------------

/// The most channels SFML's WAV reader names: past 8 its decoder calls the rest auxiliary,
/// which the reader does not know (an assertion fails, in builds that keep them), and past
/// 20 it reads the channel map beyond the room it gave.
constexpr unsigned MAX_WAV_CHANNELS = 8;

std::uint64_t littleEndian(const unsigned char* p, int bytes) {
    std::uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = (value << 8) | p[i];
    }
    return value;
}

std::uint64_t bigEndian(const unsigned char* p, int bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) {
        value = (value << 8) | p[i];
    }
    return value;
}

/// The channels its first format chunk gives, when it has one in the file.
std::optional<unsigned> wavChannels(Bytes file) {
    static constexpr unsigned char W64_RIFF[16] = {'r', 'i', 'f', 'f', 0x2E, 0x91, 0xCF, 0x11,
                                                   0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00};
    static constexpr unsigned char W64_FMT[16] = {'f', 'm', 't', ' ', 0xF3, 0xAC, 0xD3, 0x11,
                                                  0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A};
    const std::size_t size = file.size();
    if (size >= 40 && std::memcmp(file.data(), W64_RIFF, 16) == 0) {
        for (std::size_t at = 40; at + 24 <= size;) { // GUID, size of the chunk with its header
            const std::uint64_t chunk = littleEndian(file.data() + at + 16, 8);
            if (std::memcmp(file.data() + at, W64_FMT, 16) == 0) {
                return at + 28 <= size ? std::optional<unsigned>(littleEndian(file.data() + at + 26, 2)) : std::nullopt;
            }
            if (chunk < 24 || chunk > size - at) {
                return std::nullopt;
            }
            at += static_cast<std::size_t>((chunk + 7) & ~std::uint64_t{7});
        }
        return std::nullopt;
    }
    if (size < 12 || std::memcmp(file.data() + 8, "WAVE", 4) != 0) {
        return std::nullopt;
    }
    const bool big = std::memcmp(file.data(), "RIFX", 4) == 0;
    if (!big && std::memcmp(file.data(), "RIFF", 4) != 0 && std::memcmp(file.data(), "RF64", 4) != 0) {
        return std::nullopt;
    }
    for (std::size_t at = 12; at + 8 <= size;) {
        const std::uint64_t chunk = big ? bigEndian(file.data() + at + 4, 4) : littleEndian(file.data() + at + 4, 4);
        if (std::memcmp(file.data() + at, "fmt ", 4) == 0) {
            if (at + 12 > size) {
                return std::nullopt;
            }
            const unsigned char* channels = file.data() + at + 10;
            return static_cast<unsigned>(big ? bigEndian(channels, 2) : littleEndian(channels, 2));
        }
        if (chunk > size - at - 8) {
            return std::nullopt;
        }
        at += 8 + static_cast<std::size_t>(chunk + (chunk & 1));
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> whyNotSound(Bytes file) {
    if (file.empty()) {
        return "is no sound: the file is empty";
    }
    if (file.size() > MAX_SOUND_FILE_BYTES) {
        return "is no sound: larger than " + std::to_string(MAX_SOUND_FILE_BYTES >> 20) + " MiB";
    }
    // SFML's MP3 reader takes a file by its first ten bytes.
    if (file.size() >= 10 && (hasId3Header(file) || headerValid(file.data()))) {
        if (auto problem = whyNotMpeg(file)) {
            return problem;
        }
    }
    if (const auto channels = wavChannels(file); channels && *channels > MAX_WAV_CHANNELS) {
        return "is no sound: a WAV file of " + std::to_string(*channels) + " channels (at most " +
               std::to_string(MAX_WAV_CHANNELS) + ")";
    }
    return std::nullopt;
}

std::optional<std::string> readSoundFile(const std::filesystem::path& file, std::vector<unsigned char>& bytes) {
    bytes.clear();
    if (auto problem = whyNotDataFile(file)) {
        return *problem;
    }
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error) {
        return "cannot be read (" + error.message() + ")";
    }
    if (size > MAX_SOUND_FILE_BYTES) {
        return "is no sound: larger than " + std::to_string(MAX_SOUND_FILE_BYTES >> 20) + " MiB";
    }
    std::ifstream in(file, std::ios::binary);
    bytes.resize(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
    // A file that shrank while read is read as far as it goes; one that grew, to its old size.
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (in.bad()) {
        return "cannot be read (a read failed)";
    }
    return whyNotSound(bytes);
}

std::optional<std::string> decodeSound(Bytes file, sf::SoundBuffer& buffer) {
    sf::InputSoundFile decoder;
    if (!decoder.openFromMemory(file.data(), file.size())) {
        return "is in no sound format SFML decodes";
    }
    const std::uint64_t claimed = decoder.getSampleCount();
    if (claimed > MAX_SOUND_SAMPLES) {
        return "is no sound effect: longer than " + std::to_string(MAX_SOUND_SAMPLES) + " samples (play it as music)";
    }
    // Grown as samples come, not sized from the header.
    constexpr std::uint64_t BLOCK = 1 << 16;
    std::vector<std::int16_t> samples;
    while (samples.size() < claimed) {
        const std::size_t had = samples.size();
        const std::uint64_t want = std::min<std::uint64_t>(BLOCK, claimed - had);
        samples.resize(had + static_cast<std::size_t>(want));
        const std::uint64_t got = decoder.read(samples.data() + had, want);
        samples.resize(had + static_cast<std::size_t>(std::min(got, want)));
        if (got == 0) {
            break;
        }
    }
    if (samples.empty()) {
        return "is no sound: it holds no samples";
    }
    if (samples.size() < claimed) {
        return "is no sound: it is cut short (" + std::to_string(samples.size()) + " of " + std::to_string(claimed) +
               " samples)";
    }
    if (!buffer.loadFromSamples(samples.data(), samples.size(), decoder.getChannelCount(), decoder.getSampleRate(),
                                decoder.getChannelMap())) {
        return "is no sound: SFML takes none of its samples";
    }
    return std::nullopt;
}

} // namespace mx
