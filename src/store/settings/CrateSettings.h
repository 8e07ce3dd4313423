#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "store/settings/Schedule.h"
#include "store/settings/Settings.h"

namespace stowaway {

// The keys of a Crate's section that the program reads.
inline constexpr std::string_view ScheduleKey = "schedule";
inline constexpr std::string_view OverdueDaysKey = "overdue_days";
inline constexpr int DefaultOverdueDays = 7;

// A Crate's schedule; off when it has none. A value that is not a schedule reads
// as off, with the reason in problem when one is given.
Schedule CrateSchedule(const Settings& settings, std::string_view crate,
                       std::string* problem = nullptr);
// Off removes the key.
void SetCrateSchedule(Settings& settings, std::string_view crate, const Schedule& schedule);

// Days without a good backup before a Crate counts as overdue; 0 is never.
// A value that is not a whole number from 0 to 3650 reads as the default.
int CrateOverdueDays(const Settings& settings, std::string_view crate,
                     std::string* problem = nullptr);
void SetCrateOverdueDays(Settings& settings, std::string_view crate, int days);

}  // namespace stowaway
