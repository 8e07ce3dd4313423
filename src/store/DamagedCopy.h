#pragma once

#include <string>

namespace stowaway {

class Platform;

// Keeps the bytes of a data file that could not be loaded beside it as
// NAME.damaged (NAME.damaged.1, .2, ... when that name is taken), so that the
// next save, which replaces the file, loses nothing. Returns the path kept, or
// "" when no copy could be written.
std::string KeepDamagedCopy(const Platform& platform, const std::string& path,
                            const std::string& bytes);

// The second notice after the load error, whose text stays as it always was.
std::string DamagedCopyText(const std::string& keptPath);

}  // namespace stowaway
