#pragma once

// The game's own header named like one of the engine's: each include finds its own.
namespace coins {
inline constexpr const char* CHIME = "chime";
}
