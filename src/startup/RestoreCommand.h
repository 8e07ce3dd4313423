#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace stowaway {

class App;

// "--restore NAME [--version DATE] [--to DIR] [--force] PATTERN...": chosen files
// of a Crate's archives without a window, each from the version given or else
// from the newest version that holds it, to its original place or under DIR.
// A file on disk is replaced only when it is older than the archive's copy;
// a newer one is kept and named, unless --force is given.
bool IsRestoreCommand(const std::vector<std::string>& arguments);

// Exit statuses.
inline constexpr int RestoreDone = 0;       // every file named was restored
inline constexpr int RestoreFailed = 1;     // no such Crate or version, a pattern matched
                                            // nothing, a file not written
inline constexpr int RestoreUsage = 2;      // the command line is not understood
inline constexpr int RestoreKeptNewer = 3;  // all else restored; newer files kept

int RunRestoreCommand(App& app, const std::vector<std::string>& arguments, std::ostream& out,
                      std::ostream& err);

}  // namespace stowaway
