#pragma once

#include <string>
#include <vector>

namespace stowaway {

// Splits a command line into arguments by the Windows rules for double quotes.
// Blanks and tabs separate arguments outside quotes. A double quote opens or
// closes a quoted stretch that keeps its blanks; the stretch may abut other
// text ("-temp="C:\x y"" is one argument). Inside a quoted stretch two quotes
// in a row give one literal quote. Backslashes are literal unless they precede
// a quote: 2n backslashes and a quote give n backslashes and the quote acts;
// 2n+1 give n backslashes and a literal quote. The first argument, the program,
// takes backslashes literally, as Windows does.
std::vector<std::string> SplitCommandLine(const std::string& line);

}  // namespace stowaway
