#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "store/settings/Settings.h"

namespace stowaway {

// A Crate's key for its earlier archives: "keep = 10,7,4,12" (the last, daily,
// weekly and monthly counts) or "keep = off"; no key is off.
inline constexpr std::string_view KeepKey = "keep";
inline constexpr int DefaultKeepLast = 10;
inline constexpr int MaxKeepCount = 100000;

struct KeepPolicy {
    bool on = false;
    int last = DefaultKeepLast;  // counts the current archive too
    int daily = 0;
    int weekly = 0;
    int monthly = 0;
    bool operator==(const KeepPolicy&) const = default;
};

// "off", or LAST[,DAILY[,WEEKLY[,MONTHLY]]] of whole numbers (LAST at least 1);
// nullopt with the reason in error otherwise.
std::optional<KeepPolicy> ParseKeepPolicy(std::string_view text, std::string& error);
// "off" or "10,7,4,12".
std::string FormatKeepPolicy(const KeepPolicy& policy);

// A Crate's policy; a value that is not one reads as off, with the reason in problem.
KeepPolicy CrateKeepPolicy(const Settings& settings, std::string_view crate,
                           std::string* problem = nullptr);
// Off removes the key.
void SetCrateKeepPolicy(Settings& settings, std::string_view crate, const KeepPolicy& policy);

}  // namespace stowaway
