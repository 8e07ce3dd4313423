// The letter case of all of Unicode, generated from the Unicode data (see
// scripts/case_table.py). Characters not listed map to themselves.
#pragma once

#include <cstddef>

namespace stowaway {

struct CasePair {
    char32_t from;
    char32_t to;
};

extern const char kCaseTablesUnicodeVersion[];
// Simple and common case folding: what names are compared by.
extern const CasePair kFoldPairs[];
extern const std::size_t kFoldPairsSize;
// Simple lower and upper case.
extern const CasePair kLowerPairs[];
extern const std::size_t kLowerPairsSize;
extern const CasePair kUpperPairs[];
extern const std::size_t kUpperPairsSize;

}  // namespace stowaway
