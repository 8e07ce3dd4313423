#include "engine/Years.h"

namespace stowaway {

int FullYear(int written) {
    if (written >= 100 || written < 0) return written;
    return written < 90 ? written + 2000 : written + 1900;
}

std::optional<int> YearOfDate(std::string_view date) {
    std::size_t first = date.find('/');
    if (first == std::string_view::npos) return std::nullopt;
    std::size_t second = date.find('/', first + 1);
    if (second == std::string_view::npos) return std::nullopt;
    std::size_t i = second + 1;
    while (i < date.size() && date[i] == ' ') ++i;
    int value = 0, digits = 0;
    for (; i < date.size() && date[i] >= '0' && date[i] <= '9' && digits < 6; ++i, ++digits)
        value = value * 10 + (date[i] - '0');
    if (digits == 0) return std::nullopt;
    return FullYear(value);
}

}  // namespace stowaway
