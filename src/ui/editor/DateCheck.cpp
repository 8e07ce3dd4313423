#include "ui/editor/DateCheck.h"

#include <optional>
#include <string_view>

namespace stowaway {

namespace {

// minDigits to maxDigits decimal digits and nothing else.
std::optional<int> Digits(std::string_view text, std::size_t minDigits, std::size_t maxDigits) {
    if (text.size() < minDigits || text.size() > maxDigits) return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

bool IsLeap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

}  // namespace

bool IsValidRuleDate(const std::string& text) {
    const std::size_t first = text.find('/');
    if (first == std::string::npos) return false;
    const std::size_t second = text.find('/', first + 1);
    if (second == std::string::npos) return false;
    const std::string_view all(text);
    const auto month = Digits(all.substr(0, first), 1, 2);
    const auto day = Digits(all.substr(first + 1, second - first - 1), 1, 2);
    const std::string_view yearText = all.substr(second + 1);
    if (yearText.size() == 3) return false;
    auto year = Digits(yearText, 2, 4);
    if (!month || !day || !year) return false;
    if (yearText.size() == 2) *year += *year < 90 ? 2000 : 1900;
    if (*year < 1 || *month < 1 || *month > 12 || *day < 1) return false;
    static constexpr int DaysIn[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int last = DaysIn[*month - 1];
    if (*month == 2 && IsLeap(*year)) last = 29;
    return *day <= last;
}

}  // namespace stowaway
