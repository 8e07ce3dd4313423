#pragma once

#include <ostream>
#include <string>

namespace stowaway {

class App;

// "--keep NAME POLICY", "--versions NAME", "--prune NAME [--dry-run]": a Crate's
// kept versions without a window. The arguments keep their letter case; the
// Crate's name matches without it.
bool IsVersionsCommand(const std::string& arguments);

// Exit statuses of these commands.
inline constexpr int VersionsDone = 0;
inline constexpr int VersionsFailed = 1;   // no such Crate, settings or files not written
inline constexpr int VersionsUsage = 2;    // the command line is not understood
inline constexpr int VersionsDamaged = 3;  // listed, but an archive is damaged or incomplete

int RunVersionsCommand(App& app, const std::string& arguments, std::ostream& out,
                       std::ostream& err);

}  // namespace stowaway
