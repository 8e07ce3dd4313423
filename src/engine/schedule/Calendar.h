#pragma once

#include <ctime>
#include <optional>
#include <string>

#include "store/settings/Schedule.h"

namespace stowaway {

// The schedule as systemd's OnCalendar= reads it: "*-*-* 02:30:00",
// "Mon,Thu *-*-* 09:00:00", "*-*-* 00/6:00:00". Empty for off.
std::string OnCalendarText(const Schedule& schedule);

// The five time fields of a crontab line: "30 2 * * *", "0 9 * * 1,4",
// "0 */6 * * *". Empty for off.
std::string CronFields(const Schedule& schedule);

// The first run after `after` in the local time zone, as systemd counts it: the
// next matching wall-clock time, where a time that a clock change skips is no run
// and an hour it repeats runs once. Nullopt for off.
std::optional<std::time_t> NextRun(const Schedule& schedule, std::time_t after);

}  // namespace stowaway
