#include "engine/Wildcard.h"

#include "platform/CaseFold.h"

namespace stowaway {

namespace {

// Patterns and names are matched one character at a time: bytes when both are
// ASCII, otherwise the case-folded characters of the UTF-8 text.
template <typename Char>
Char Lower(Char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<Char>(c - 'A' + 'a') : c;
}

// Length of the pattern token at `at`: a bracket list up to its "]", else one character.
// A "[" without a closing "]" stands for itself.
template <typename Char>
std::size_t TokenLength(std::basic_string_view<Char> pattern, std::size_t at) {
    if (pattern[at] != '[') return 1;
    std::size_t close = pattern.find(Char(']'), at + 1);
    return close == std::basic_string_view<Char>::npos ? 1 : close - at + 1;
}

template <typename Char>
bool BracketMatches(std::basic_string_view<Char> list, Char c) {
    bool negate = !list.empty() && list[0] == '!';
    if (negate) list.remove_prefix(1);
    bool found = false;
    for (std::size_t i = 0; i < list.size() && !found; ++i) {
        if (i + 2 < list.size() && list[i + 1] == '-') {
            found = list[i] <= c && c <= list[i + 2];
            i += 2;
        } else {
            found = list[i] == c;
        }
    }
    return found != negate;
}

// One token against one (lower-case) character.
template <typename Char>
bool TokenMatches(std::basic_string_view<Char> token, Char c) {
    if (token.size() > 1) return BracketMatches(token.substr(1, token.size() - 2), c);
    switch (token[0]) {
        case '?':
            return true;
        case '#':
            return c >= '0' && c <= '9';
        default:
            return token[0] == c;
    }
}

template <typename Char>
bool Matches(std::basic_string_view<Char> name, std::basic_string_view<Char> pattern) {
    // Every token but "*" takes exactly one character, so one remembered star is
    // enough to backtrack: on a mismatch the last star takes one more character.
    constexpr std::size_t none = std::basic_string_view<Char>::npos;
    std::size_t n = 0, p = 0;
    std::size_t starP = none, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = ++p;
            starN = n;
            continue;
        }
        if (p < pattern.size()) {
            std::size_t length = TokenLength(pattern, p);
            if (TokenMatches(pattern.substr(p, length), Lower(name[n]))) {
                p += length;
                ++n;
                continue;
            }
        }
        if (starP == none) return false;
        p = starP;
        n = ++starN;
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

bool IsAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

}  // namespace

bool MatchesLoweredWildcard(std::string_view name, std::string_view pattern) {
    if (IsAscii(name) && IsAscii(pattern)) return Matches(name, pattern);
    const std::u32string wideName = FoldedCharacters(name);
    const std::u32string widePattern = FoldedCharacters(pattern);
    return Matches(std::u32string_view(wideName), std::u32string_view(widePattern));
}

bool MatchesWildcard(std::string_view name, std::string_view pattern) {
    return MatchesLoweredWildcard(name, FoldCase(pattern));
}

}  // namespace stowaway
