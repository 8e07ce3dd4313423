#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace stowaway {

// Text is UTF-8. Letter case is that of all of Unicode (platform/CaseFold, the
// project's own table); bytes that are not UTF-8 pass through unchanged.
std::string ToLower(std::string_view text);
std::string ToUpper(std::string_view text);
std::string Trim(std::string_view text);  // blanks only, both ends
std::string TrimBlanksAndTabs(std::string_view text);
bool StartsWith(std::string_view text, std::string_view prefix);
bool EndsWith(std::string_view text, std::string_view suffix);
// Names compared without regard to letter case, by case folding (so "ΣΟΦΟΣ" and
// "σοφος" are alike); <0, 0, >0.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
int CompareIgnoreCase(std::string_view a, std::string_view b);
// Left/Mid/Right of classic BASIC, never out of range.
std::string_view Left(std::string_view text, std::size_t count);
std::string_view Right(std::string_view text, std::size_t count);
std::string_view Mid(std::string_view text, std::size_t from);

// A decimal number, taken to the largest whole number not above it, that must fit
// a 16-bit signed integer. Surrounding blanks are allowed; nothing else is.
std::optional<short> ParseInt16(std::string_view text);
// Whole decimal number with an optional sign, any size that fits a long.
std::optional<long> ParseLong(std::string_view text);

}  // namespace stowaway
