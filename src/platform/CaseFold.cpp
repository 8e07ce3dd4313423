#include "platform/CaseFold.h"

#include <algorithm>

#include "platform/CaseTables.h"
#include "platform/Utf8.h"

namespace stowaway {

namespace {

char32_t Look(const CasePair* table, std::size_t size, char32_t c) {
    const CasePair* end = table + size;
    const CasePair* found =
        std::lower_bound(table, end, c, [](const CasePair& p, char32_t v) { return p.from < v; });
    return found != end && found->from == c ? found->to : c;
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

char AsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Maps every character; ill-formed bytes are copied as they are.
template <typename Map>
std::string MapCharacters(std::string_view text, Map map) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const Utf8Char c = DecodeUtf8(text, i);
        if (c.code == kNotUtf8)
            out.append(text.substr(i, c.size));
        else
            AppendUtf8(out, map(c.code));
        i += c.size;
    }
    return out;
}

}  // namespace

char32_t FoldChar(char32_t c) {
    return c < 0x80 ? static_cast<char32_t>(AsciiLower(static_cast<char>(c)))
                    : Look(kFoldPairs, kFoldPairsSize, c);
}

char32_t LowerChar(char32_t c) {
    return c < 0x80 ? static_cast<char32_t>(AsciiLower(static_cast<char>(c)))
                    : Look(kLowerPairs, kLowerPairsSize, c);
}

char32_t UpperChar(char32_t c) {
    return c < 0x80 ? static_cast<char32_t>(AsciiUpper(static_cast<char>(c)))
                    : Look(kUpperPairs, kUpperPairsSize, c);
}

std::string FoldCase(std::string_view text) {
    if (!IsAscii(text)) return MapCharacters(text, FoldChar);
    std::string out(text);
    for (char& c : out) c = AsciiLower(c);
    return out;
}

std::string LowerCase(std::string_view text) {
    if (!IsAscii(text)) return MapCharacters(text, LowerChar);
    std::string out(text);
    for (char& c : out) c = AsciiLower(c);
    return out;
}

std::string UpperCase(std::string_view text) {
    if (!IsAscii(text)) return MapCharacters(text, UpperChar);
    std::string out(text);
    for (char& c : out) c = AsciiUpper(c);
    return out;
}

int CompareFolded(std::string_view a, std::string_view b) {
    if (IsAscii(a) && IsAscii(b)) {
        const std::size_t n = std::min(a.size(), b.size());
        for (std::size_t i = 0; i < n; ++i) {
            const auto ca = static_cast<unsigned char>(AsciiLower(a[i]));
            const auto cb = static_cast<unsigned char>(AsciiLower(b[i]));
            if (ca != cb) return ca < cb ? -1 : 1;
        }
        return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
    }
    const int c = FoldCase(a).compare(FoldCase(b));
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

bool EqualsFolded(std::string_view a, std::string_view b) {
    return CompareFolded(a, b) == 0;
}

std::u32string FoldedCharacters(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const Utf8Char c = DecodeUtf8(text, i);
        if (c.code == kNotUtf8) {
            for (std::size_t k = 0; k < c.size; ++k)
                out += kStrayByte + static_cast<unsigned char>(text[i + k]);
        } else {
            out += FoldChar(c.code);
        }
        i += c.size;
    }
    return out;
}

}  // namespace stowaway
