#pragma once

#include <string>
#include <string_view>

namespace stowaway {

// A CR or LF: a name holding one cannot be one line of a list or batch file.
bool HoldsLineBreak(std::string_view text);
// A NUL byte: the OS would cut the name there, so such a text names no file.
bool HoldsNul(std::string_view text);
// The text with CR, LF, tab and NUL written as \r, \n, \t and \0, so a message or
// log line shows the name as it is instead of breaking the line.
std::string VisibleText(std::string_view text);

}  // namespace stowaway
