#pragma once

#include <string>

namespace stowaway {

class PathStyle;

// The filter a parsed folder rule hands to the walk.
enum class SelectMode : short {
    IncludePattern = 0,
    ExcludePattern = 1,
    AfterYear = 2,
    BeforeYear = 3,
    All = 4
};

struct ParsedFolderRule {
    bool recurse = true;
    SelectMode mode = SelectMode::All;
    std::string folder;  // ends in the separator
    std::string wildcard;
    int year = 0;           // full year, for the two date kinds
    bool yearValid = true;  // false: the date could not give a year
};

// The rule text from the editor's inputs (kind 0 whole folder, 1 wildcard, 2 date)
// and its two toggles (include or exclude, after or before); empty for no folder
// or an unknown kind.
std::string ComposeFolderRule(const PathStyle& style, const std::string& folder,
                              const std::string& first, const std::string& second, short kind,
                              bool recurse, bool include, bool after);

// Splits a rule text again for the jobs.
ParsedFolderRule ParseFolderRule(const std::string& rule, const PathStyle& style);

}  // namespace stowaway
