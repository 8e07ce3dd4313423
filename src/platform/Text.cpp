#include "platform/Text.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "platform/CaseFold.h"

namespace stowaway {

std::string ToLower(std::string_view text) {
    return LowerCase(text);
}

std::string ToUpper(std::string_view text) {
    return UpperCase(text);
}

std::string Trim(std::string_view text) {
    std::size_t begin = text.find_first_not_of(' ');
    if (begin == std::string_view::npos) return {};
    std::size_t end = text.find_last_not_of(' ');
    return std::string(text.substr(begin, end - begin + 1));
}

std::string TrimBlanksAndTabs(std::string_view text) {
    std::size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string_view::npos) return {};
    std::size_t end = text.find_last_not_of(" \t");
    return std::string(text.substr(begin, end - begin + 1));
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    return EqualsFolded(a, b);
}

int CompareIgnoreCase(std::string_view a, std::string_view b) {
    return CompareFolded(a, b);
}

std::string_view Left(std::string_view text, std::size_t count) {
    return text.substr(0, count);
}

std::string_view Right(std::string_view text, std::size_t count) {
    return count >= text.size() ? text : text.substr(text.size() - count);
}

std::string_view Mid(std::string_view text, std::size_t from) {
    return from >= text.size() ? std::string_view() : text.substr(from);
}

std::optional<short> ParseInt16(std::string_view text) {
    std::string t = TrimBlanksAndTabs(text);
    if (t.empty()) return std::nullopt;
    // Only plain decimal notation: digits, an optional sign and one decimal point.
    std::size_t i = 0;
    if (t[0] == '-' || t[0] == '+') i = 1;
    bool digits = false, point = false;
    for (std::size_t k = i; k < t.size(); ++k) {
        if (t[k] >= '0' && t[k] <= '9') {
            digits = true;
        } else if (t[k] == '.' && !point) {
            point = true;
        } else {
            return std::nullopt;
        }
    }
    if (!digits) return std::nullopt;
    char* end = nullptr;
    double value = std::strtod(t.c_str(), &end);
    if (end == t.c_str() || !std::isfinite(value)) return std::nullopt;
    value = std::floor(value);
    if (value < std::numeric_limits<short>::min() || value > std::numeric_limits<short>::max())
        return std::nullopt;
    return static_cast<short>(value);
}

std::optional<long> ParseLong(std::string_view text) {
    std::string t = TrimBlanksAndTabs(text);
    if (t.empty()) return std::nullopt;
    std::size_t i = (t[0] == '-' || t[0] == '+') ? 1 : 0;
    if (i == t.size()) return std::nullopt;
    for (std::size_t k = i; k < t.size(); ++k)
        if (t[k] < '0' || t[k] > '9') return std::nullopt;
    errno = 0;
    long value = std::strtol(t.c_str(), nullptr, 10);
    if (errno == ERANGE) return std::nullopt;
    return value;
}

}  // namespace stowaway
