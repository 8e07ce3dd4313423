#pragma once

#include <string>

namespace stowaway {

class Platform;

// Days without a good backup after which a Crate counts as overdue (0: never).
inline constexpr int DefaultOverdueDays = 7;

// The Crate's threshold as the user set it beside the data file, or the default.
int OverdueDays(const Platform& platform, const std::string& programFolder,
                const std::string& crateName);

}  // namespace stowaway
