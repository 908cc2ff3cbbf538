#pragma once

namespace mx {

/// The engine's version, "major.minor.patch", as its CMake package gives it. Input
/// recordings carry it, so that a replay on another engine can say so.
[[nodiscard]] const char* engineVersion();

} // namespace mx
