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

} // namespace mx
