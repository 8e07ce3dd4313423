#pragma once

#include <string>
#include <string_view>

namespace stowaway {

// The file-name pattern of a folder rule, ignoring letter case: "?" one character,
// "*" any run, "#" one digit, "[a-z]" one listed character, "[!a-z]" one not listed.
// The whole name must match the whole pattern.
bool MatchesWildcard(std::string_view name, std::string_view pattern);

// The same with a pattern already case-folded (FoldCase; the walk folds it once).
bool MatchesLoweredWildcard(std::string_view name, std::string_view loweredPattern);

}  // namespace stowaway
