#pragma once

#include <string>
#include <vector>

namespace stowaway {

// Splits a command line the Windows way for double quotes: blanks and tabs separate
// arguments, a quoted stretch keeps its blanks and may abut other text, the quotes
// themselves are dropped. Backslashes are plain characters.
std::vector<std::string> SplitCommandLine(const std::string& line);

}  // namespace stowaway
