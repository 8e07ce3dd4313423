#include "startup/ScheduleView.h"

namespace stowaway {

// No schedules yet: every Crate runs only when started.
ScheduleView ScheduleOf(App& app, const std::string& crateName) {
    (void)app;
    (void)crateName;
    return {};
}

std::string SchedulerInUse(App& app) {
    (void)app;
    return "none";
}

}  // namespace stowaway
