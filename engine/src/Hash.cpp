#include <mx/Hash.h>

#include <bit>
#include <charconv>

namespace mx {

namespace {

constexpr std::uint64_t PRIME = 0x100000001b3ULL;
constexpr std::size_t DIGITS = 16;

} // namespace

Hash& Hash::addBytes(const void* bytes, std::size_t size) {
    const auto* byte = static_cast<const unsigned char*>(bytes);
    for (std::size_t i = 0; i < size; ++i) {
        value = (value ^ byte[i]) * PRIME;
    }
    return *this;
}

Hash& Hash::add(std::uint32_t number) {
    for (int shift = 0; shift < 32; shift += 8) {
        value = (value ^ ((number >> shift) & 0xFFu)) * PRIME;
    }
    return *this;
}

Hash& Hash::add(std::uint64_t number) {
    return add(static_cast<std::uint32_t>(number)).add(static_cast<std::uint32_t>(number >> 32));
}

Hash& Hash::add(float number) {
    return add(std::bit_cast<std::uint32_t>(number));
}

Hash& Hash::add(std::string_view text) {
    addBytes(text.data(), text.size());
    const char end = '\0';
    return addBytes(&end, 1);
}

std::string Hash::toText(std::uint64_t hash) {
    std::string text(DIGITS, '0');
    for (std::size_t i = DIGITS; i-- > 0; hash >>= 4) {
        text[i] = "0123456789abcdef"[hash & 0xFu];
    }
    return text;
}

std::optional<std::uint64_t> Hash::fromText(std::string_view text) {
    std::uint64_t hash = 0;
    if (text.size() != DIGITS) {
        return std::nullopt;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), hash, 16);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return hash;
}

} // namespace mx
