#pragma once

#include <string>

namespace stowaway {

class Platform;

// The Crate's overdue threshold from the settings beside the data file (0: never
// overdue; the default when the file or the key is missing or unreadable).
int OverdueDays(const Platform& platform, const std::string& programFolder,
                const std::string& crateName);

}  // namespace stowaway
