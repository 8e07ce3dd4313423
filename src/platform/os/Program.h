// What a tool knows of itself: its arguments and where it lies, in UTF-8.
#pragma once

#include <string>
#include <vector>

namespace stowaway::os {

// The arguments as main got them; on Windows read again from the wide command
// line, since main's narrow ones are in the ANSI code page.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// The running program's own path; empty when the system does not say.
std::string ExecutablePath();

}  // namespace stowaway::os
