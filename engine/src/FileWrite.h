#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace mx {

/// Writes a whole file so that it is never seen half written: into a file beside it first,
/// which then takes its name, replacing what was there. A process killed meanwhile, or a
/// full disk, leaves the old file (or none) as it was. Why it failed, or nothing.
[[nodiscard]] std::optional<std::string> writeFileReplacing(const std::filesystem::path& file, std::string_view content);

} // namespace mx
