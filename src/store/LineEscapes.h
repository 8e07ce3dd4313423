#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace stowaway {

// How the program's own keyed-line files keep any text on one line: a backslash
// starts an escape (\\, \n, \r, \t, \0, \", \xHH) and other control bytes go as \xHH.
struct LineEscapes {
    bool quotes = false;      // \" for a text that stands between double quotes
    bool edgeBlanks = false;  // \x20 for a blank at either end, where lines are trimmed
    bool nulAsZero = false;   // \0 rather than \x00
    bool strict = false;      // reading: a raw control byte (but a tab) is damage
};

std::string EscapeLineText(std::string_view text, const LineEscapes& rules);
// Undoes EscapeLineText; nullopt for a broken escape (or, strict, a raw control byte).
std::optional<std::string> UnescapeLineText(std::string_view text, const LineEscapes& rules);

}  // namespace stowaway
