#include "engine/Wildcard.h"

#include "platform/Text.h"

namespace stowaway {

namespace {

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Length of the pattern token at `at`: a bracket list up to its "]", else one character.
// A "[" without a closing "]" stands for itself.
std::size_t TokenLength(std::string_view pattern, std::size_t at) {
    if (pattern[at] != '[') return 1;
    std::size_t close = pattern.find(']', at + 1);
    return close == std::string_view::npos ? 1 : close - at + 1;
}

bool BracketMatches(std::string_view list, char c) {
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
bool TokenMatches(std::string_view token, char c) {
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

}  // namespace

bool MatchesLoweredWildcard(std::string_view name, std::string_view pattern) {
    // Every token but "*" takes exactly one character, so one remembered star is
    // enough to backtrack: on a mismatch the last star takes one more character.
    std::size_t n = 0, p = 0;
    std::size_t starP = std::string_view::npos, starN = 0;
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
        if (starP == std::string_view::npos) return false;
        p = starP;
        n = ++starN;
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

bool MatchesWildcard(std::string_view name, std::string_view pattern) {
    return MatchesLoweredWildcard(name, ToLower(pattern));
}

}  // namespace stowaway
