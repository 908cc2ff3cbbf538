#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace mx {

/// Why a file the engine is about to read (a sprite, a sound, the font, a recording) is
/// no data file: "does not exist", "is a folder", "is a FIFO", "is a device", "is a
/// socket", "is not a regular file" or "cannot be read (REASON)"; nothing when it is a
/// regular file that opens for reading. It never blocks: a FIFO or device is not opened,
/// so no decoder is handed one.
[[nodiscard]] std::optional<std::string> whyNotDataFile(const std::filesystem::path& file);

/// What whyNotDataFile says of a file that is not there.
inline constexpr const char* MISSING_FILE = "does not exist";

/// Whether whyNotDataFile's reason is that the file is not there (a case some callers leave
/// to the messages they have always given).
[[nodiscard]] inline bool isMissing(const std::optional<std::string>& why) {
    return why && *why == MISSING_FILE;
}

} // namespace mx
