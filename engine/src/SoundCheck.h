#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <SFML/Audio/SoundBuffer.hpp>

namespace mx {

/// The largest sound or music file read: every file is read whole before it is decoded.
inline constexpr std::uintmax_t MAX_SOUND_FILE_BYTES = std::uintmax_t{256} << 20;

/// The most samples (all channels together) a sound effect decodes to: about 23 minutes of
/// 48 kHz stereo, 256 MiB in memory. Longer tunes are music, streamed.
inline constexpr std::uint64_t MAX_SOUND_SAMPLES = std::uint64_t{1} << 27;

/// Why the bytes of a whole file must not reach SFML's decoders, as "is no sound: REASON";
/// nothing when they may (SFML may still find no format it decodes in them).
///
/// SFML 3.1's MP3 reader frees its buffer twice, aborting the program, when a file that
/// starts like MP3 (an ID3v2 tag or an MPEG frame header) has no first frame its decoder
/// (dr_mp3) decodes: the decoder frees the buffer on that failure and the reader's
/// destructor frees it again. This replays the decoder's search for that first frame on
/// the same bytes it would read, and refuses the file unless the frame decodes. A WAV file
/// of more channels than SFML's WAV reader can name (8) is refused too.
[[nodiscard]] std::optional<std::string> whyNotSound(std::span<const unsigned char> file);

/// Reads a whole sound file to check and decode from memory, so that what was checked is
/// what SFML decodes. A reason to follow "it " ("does not exist", "is a folder", "is no
/// sound: ...") when it is no data
/// file (whyNotDataFile), is larger than MAX_SOUND_FILE_BYTES, cannot be read, or fails
/// whyNotSound.
[[nodiscard]] std::optional<std::string> readSoundFile(const std::filesystem::path& file,
                                                       std::vector<unsigned char>& bytes);

/// Decodes checked bytes (whyNotSound) into a buffer, sample block by sample block, so that
/// a header claiming more samples than the file holds allocates nothing for them; a reason
/// when SFML decodes no format in them, they decode to no samples, to more than
/// MAX_SOUND_SAMPLES, or to fewer than the header claims.
[[nodiscard]] std::optional<std::string> decodeSound(std::span<const unsigned char> file, sf::SoundBuffer& buffer);

} // namespace mx
