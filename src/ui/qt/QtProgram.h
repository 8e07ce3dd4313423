#pragma once

#include <string>

namespace stowaway {

class Platform;

// Runs the program with Qt windows when a display is available, headless otherwise.
int RunStowaway(int argc, char** argv, Platform& platform, const std::string& arguments);

}  // namespace stowaway
