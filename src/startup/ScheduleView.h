#pragma once

#include <string>

namespace stowaway {

class App;

// What --status shows of a Crate's schedule: how it is set and when it runs next.
struct ScheduleView {
    std::string schedule = "off";
    std::string nextRun = "-";
};

ScheduleView ScheduleOf(App& app, const std::string& crateName);
// The way of scheduling in use ("systemd", "cron"), as --status names it.
std::string SchedulerInUse(App& app);

}  // namespace stowaway
