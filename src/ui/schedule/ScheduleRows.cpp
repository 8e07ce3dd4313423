#include "ui/schedule/ScheduleRows.h"

#include "engine/schedule/Calendar.h"
#include "platform/CalendarTime.h"
#include "store/settings/CrateSettings.h"

namespace stowaway {

std::string ScheduleTimeText(std::optional<std::time_t> when) {
    if (!when) return "-";
    std::tm local{};
    if (!LocalParts(*when, local)) return "-";
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return text;
}

TableControl::Row ScheduleRow(const std::string& crate, const Settings& settings,
                              const RunStateTable& runs, std::time_t now) {
    std::string problem;
    const Schedule schedule = CrateSchedule(settings, crate, &problem);
    const int days = CrateOverdueDays(settings, crate);
    const CrateRunState* state = runs.find(crate);
    std::string result = "never ran";
    bool attention = false;
    if (state && state->result == RunResult::Ok) result = "ok";
    if (state && state->result == RunResult::Failed) {
        result = "failed" + (state->error.empty() ? "" : ": " + state->error);
        attention = true;
    }
    const bool overdue = state && IsOverdue(*state, now, days);
    attention = attention || overdue;
    // The threshold itself shows in the box below the table.
    const std::string overdueText = overdue ? "OVERDUE" : days == 0 ? "never" : "no";
    return TableControl::Row{
        {crate, problem.empty() ? FormatSchedule(schedule) : "off (unreadable)",
         ScheduleTimeText(NextRun(schedule, now)),
         ScheduleTimeText(state ? (state->started ? state->started : state->ended) : std::nullopt),
         result, ScheduleTimeText(state ? state->lastGood : std::nullopt), overdueText},
        attention};
}

}  // namespace stowaway
