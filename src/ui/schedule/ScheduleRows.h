#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "store/RunState.h"
#include "store/settings/Settings.h"
#include "ui/schedule/ScheduleForm.h"

namespace stowaway {

// A time as the dialog shows it: "2026-12-07 09:30" in local time, "-" for none.
std::string ScheduleTimeText(std::optional<std::time_t> when);

// The table's row of a Crate: its schedule and next run from the settings, its
// last run, result and last good backup from the run state, and whether it is
// overdue ("OVERDUE", "no", or "never" when it never counts as overdue). A
// failed last run or an overdue Crate asks for attention.
TableControl::Row ScheduleRow(const std::string& crate, const Settings& settings,
                              const RunStateTable& runs, std::time_t now);

}  // namespace stowaway
