#pragma once

#include <string>

namespace stowaway {

// The dates a date rule may carry: month/day/year with "/", one or two digits for
// month and day, two or four for the year, and a real calendar day. These are the
// dates the jobs can read a year from. A two-digit year below 90 is 20xx, any other
// 19xx, as the jobs read it.
bool IsValidRuleDate(const std::string& text);

}  // namespace stowaway
