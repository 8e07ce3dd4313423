#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace stowaway {

class App;

// Exit statuses of --schedule and --fix-schedules.
inline constexpr int ScheduleOk = 0;
inline constexpr int ScheduleFailed = 1;    // no such Crate, or the scheduler or settings refused
inline constexpr int ScheduleBadUsage = 2;  // the arguments or WHEN are not understood

// stowaway --schedule NAME WHEN: WHEN is "daily HH:MM", "mon,thu HH:MM",
// "every Nh" or "off" (one argument, or the rest of the line).
int RunScheduleOption(App& app, const std::vector<std::string>& arguments, std::ostream& out,
                      std::ostream& err);
// stowaway --fix-schedules: points schedules whose program folder moved here.
int RunFixSchedulesOption(App& app, std::ostream& out, std::ostream& err);

}  // namespace stowaway
