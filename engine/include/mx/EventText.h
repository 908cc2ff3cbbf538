#pragma once

#include <string>

#include <mx/Event.h>

namespace mx {

/// A character was typed: the text the keyboard layout, dead keys and input methods make of
/// the keys, as one Unicode code point per event (é, ß, 中...). For names and chat; for keys
/// as keys (moving, firing) use EventKeyboard. Some systems also send control characters
/// here, such as backspace (8), tab (9) and return (13).
struct EventText : Event {
    static constexpr const char* TYPE = "TextEvent"; ///< the type of text events

    /// A character typed, as a Unicode code point.
    explicit EventText(char32_t unicode_) : unicode(unicode_) { setType(TYPE); }

    /// The character as a Unicode code point.
    [[nodiscard]] char32_t getUnicode() const { return unicode; }

    /// The character in UTF-8: one to four bytes; empty for a number that is no character
    /// (above U+10FFFF, or a UTF-16 surrogate).
    [[nodiscard]] std::string getUtf8() const { return toUtf8(unicode); }

    /// A code point in UTF-8, as getUtf8 gives it.
    [[nodiscard]] static std::string toUtf8(char32_t c) {
        std::string out;
        const auto byte = [&out](char32_t b) { out.push_back(static_cast<char>(b)); };
        if (c < 0x80) {
            byte(c);
        } else if (c < 0x800) {
            byte(0xC0 | (c >> 6));
            byte(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            if (c >= 0xD800 && c <= 0xDFFF) {
                return out;
            }
            byte(0xE0 | (c >> 12));
            byte(0x80 | ((c >> 6) & 0x3F));
            byte(0x80 | (c & 0x3F));
        } else if (c <= 0x10FFFF) {
            byte(0xF0 | (c >> 18));
            byte(0x80 | ((c >> 12) & 0x3F));
            byte(0x80 | ((c >> 6) & 0x3F));
            byte(0x80 | (c & 0x3F));
        }
        return out;
    }

    char32_t unicode; ///< the character, a Unicode code point
};

} // namespace mx
