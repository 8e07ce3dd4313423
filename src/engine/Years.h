#pragma once

#include <optional>
#include <string_view>

namespace stowaway {

// A year as written, made full: two digits below 90 are 20xx, other two-digit
// years 19xx, longer years stay as written. Both sides of a date rule are mapped
// alike, so a rule written "99" and a system writing "1999" agree.
int FullYear(int written);

// The full year of a month/day/year text: the number after the second "/".
// Nothing when the text has no such number.
std::optional<int> YearOfDate(std::string_view date);

}  // namespace stowaway
