#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <mx/Vector.h>

namespace mx {

/// A 64-bit FNV-1a hash of bytes, fed in a fixed order whatever the machine's byte order:
/// numbers go in least significant byte first, floats as their bits. Two machines that feed
/// it the same values get the same hash. The engine hashes the world with it
/// (GameManager::getWorldHash), and a game adds its own state to that hash through it.
class Hash {
public:
    /// The hash of no bytes (FNV-1a's offset basis).
    static constexpr std::uint64_t EMPTY = 0xcbf29ce484222325ULL;

    /// Adds bytes, in their order.
    Hash& addBytes(const void* bytes, std::size_t size);
    /// Adds the four bytes of a number, least significant first.
    Hash& add(std::uint32_t value);
    /// Adds a signed number as its four bytes in two's complement.
    Hash& add(std::int32_t value) { return add(static_cast<std::uint32_t>(value)); }
    /// Adds the eight bytes of a number, least significant first.
    Hash& add(std::uint64_t value);
    /// Adds a float as its 32 bits: 0.0 and -0.0 differ, and every NaN is its own bits.
    Hash& add(float value);
    /// Adds x, then y.
    Hash& add(Vector value) { return add(value.x).add(value.y); }
    /// Adds a text's characters and a terminating 0, so that two texts in a row cannot run
    /// together ("ab" "c" hashes unlike "a" "bc").
    Hash& add(std::string_view text);

    /// The hash of everything added so far.
    [[nodiscard]] std::uint64_t get() const { return value; }

    /// A hash as 16 lower-case hexadecimal digits, leading zeros included.
    [[nodiscard]] static std::string toText(std::uint64_t hash);
    /// The hash 16 hexadecimal digits (either case) stand for; nothing for any other text.
    [[nodiscard]] static std::optional<std::uint64_t> fromText(std::string_view text);

private:
    std::uint64_t value = EMPTY;
};

} // namespace mx
