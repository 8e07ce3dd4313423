// Reading and writing UTF-8 one character at a time, strictly (Unicode's table of
// well-formed byte sequences), for the OS boundary and the case table alike.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace stowaway {

struct Utf8Char {
    char32_t code;     // the character, or kNotUtf8 when the bytes are ill-formed
    std::size_t size;  // bytes taken: the character, or the maximal ill-formed subpart
};
inline constexpr char32_t kNotUtf8 = 0xFFFFFFFF;

// The character at `at` (which must be inside `text`).
inline Utf8Char DecodeUtf8(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[at + k]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return {lead, 1};
    std::size_t length = 0;
    char32_t code = 0;
    unsigned char low = 0x80, high = 0xBF;  // the allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0Fu;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07u;
        if (lead == 0xF0) low = 0x90;   // no overlong forms
        if (lead == 0xF4) high = 0x8F;  // nothing past U+10FFFF
    } else {
        return {kNotUtf8, 1};
    }
    for (std::size_t k = 1; k < length; ++k) {
        if (at + k >= text.size()) return {kNotUtf8, k};
        const unsigned char next = byte(k);
        const unsigned char from = k == 1 ? low : 0x80, to = k == 1 ? high : 0xBF;
        if (next < from || next > to) return {kNotUtf8, k};
        code = (code << 6) | (next & 0x3Fu);
    }
    return {code, length};
}

// Appends a character (a scalar value) as UTF-8.
inline void AppendUtf8(std::string& out, char32_t code) {
    const auto put = [&](char32_t bits) {
        out += static_cast<char>(static_cast<unsigned char>(bits));
    };
    if (code < 0x80) {
        put(code);
    } else if (code < 0x800) {
        put(0xC0 | (code >> 6));
        put(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        put(0xE0 | (code >> 12));
        put(0x80 | ((code >> 6) & 0x3F));
        put(0x80 | (code & 0x3F));
    } else {
        put(0xF0 | (code >> 18));
        put(0x80 | ((code >> 12) & 0x3F));
        put(0x80 | ((code >> 6) & 0x3F));
        put(0x80 | (code & 0x3F));
    }
}

}  // namespace stowaway
