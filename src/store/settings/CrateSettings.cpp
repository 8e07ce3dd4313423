#include "store/settings/CrateSettings.h"

#include <charconv>

namespace stowaway {

Schedule CrateSchedule(const Settings& settings, std::string_view crate, std::string* problem) {
    const std::optional<std::string> value = settings.crateValue(crate, ScheduleKey);
    if (!value) return Schedule{};
    ScheduleParse parse = ParseSchedule(*value);
    if (parse.schedule &&
        !(parse.schedule->kind == ScheduleKind::Weekdays && parse.schedule->weekdays == 0))
        return *parse.schedule;
    if (problem) *problem = "the schedule of " + std::string(crate) + ": " + parse.error;
    return Schedule{};
}

void SetCrateSchedule(Settings& settings, std::string_view crate, const Schedule& schedule) {
    if (schedule.kind == ScheduleKind::Off)
        settings.removeCrateValue(crate, ScheduleKey);
    else
        settings.setCrateValue(crate, ScheduleKey, FormatSchedule(schedule));
}

int CrateOverdueDays(const Settings& settings, std::string_view crate, std::string* problem) {
    const std::optional<std::string> value = settings.crateValue(crate, OverdueDaysKey);
    if (!value) return DefaultOverdueDays;
    int days = -1;
    const auto [end, ec] = std::from_chars(value->data(), value->data() + value->size(), days);
    if (ec == std::errc{} && end == value->data() + value->size() && days >= 0 && days <= 3650)
        return days;
    if (problem)
        *problem = "the overdue days of " + std::string(crate) + " are \"" + *value +
                   "\", not a whole number from 0 to 3650; " + std::to_string(DefaultOverdueDays) +
                   " is used";
    return DefaultOverdueDays;
}

void SetCrateOverdueDays(Settings& settings, std::string_view crate, int days) {
    if (days == DefaultOverdueDays)
        settings.removeCrateValue(crate, OverdueDaysKey);
    else
        settings.setCrateValue(crate, OverdueDaysKey, std::to_string(days));
}

}  // namespace stowaway
