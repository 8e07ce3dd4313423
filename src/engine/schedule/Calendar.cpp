#include "engine/schedule/Calendar.h"

#include <string_view>

#include "platform/CalendarTime.h"

namespace stowaway {

namespace {

// systemd's and cron's names and numbers for the weekdays, Monday first.
constexpr std::string_view SystemdDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
constexpr int CronDays[] = {1, 2, 3, 4, 5, 6, 0};

std::string TwoDigits(int value) {
    return std::string(1, static_cast<char>('0' + value / 10)) +
           static_cast<char>('0' + value % 10);
}

// A day's run times, as local wall times, in order.
struct DayRuns {
    int hours[24];
    int count = 0;
    int minute = 0;
};

DayRuns RunsOnDay(const Schedule& schedule, int weekday /* 0 = Monday */) {
    DayRuns runs;
    switch (schedule.kind) {
        case ScheduleKind::Off:
            break;
        case ScheduleKind::Daily:
        case ScheduleKind::Weekdays:
            if (schedule.weekdays & (1u << weekday)) runs.hours[runs.count++] = schedule.hour;
            runs.minute = schedule.minute;
            break;
        case ScheduleKind::EveryHours:
            for (int hour = 0; hour < 24; hour += schedule.everyHours)
                runs.hours[runs.count++] = hour;
            break;
    }
    return runs;
}

}  // namespace

std::string OnCalendarText(const Schedule& schedule) {
    const std::string time = TwoDigits(schedule.hour) + ":" + TwoDigits(schedule.minute) + ":00";
    switch (schedule.kind) {
        case ScheduleKind::Off:
            return {};
        case ScheduleKind::Daily:
            return "*-*-* " + time;
        case ScheduleKind::Weekdays: {
            std::string days;
            for (int day = 0; day < 7; ++day) {
                if (!(schedule.weekdays & (1u << day))) continue;
                if (!days.empty()) days += ',';
                days += SystemdDays[day];
            }
            return days + " *-*-* " + time;
        }
        case ScheduleKind::EveryHours:
            // systemd refuses a repetition as long as the range ("00/24").
            return schedule.everyHours == 24
                       ? "*-*-* 00:00:00"
                       : "*-*-* 00/" + std::to_string(schedule.everyHours) + ":00:00";
    }
    return {};
}

std::string CronFields(const Schedule& schedule) {
    const std::string time = std::to_string(schedule.minute) + " " + std::to_string(schedule.hour);
    switch (schedule.kind) {
        case ScheduleKind::Off:
            return {};
        case ScheduleKind::Daily:
            return time + " * * *";
        case ScheduleKind::Weekdays: {
            std::string days;
            for (int day = 0; day < 7; ++day) {
                if (!(schedule.weekdays & (1u << day))) continue;
                if (!days.empty()) days += ',';
                days += std::to_string(CronDays[day]);
            }
            return time + " * * " + days;
        }
        case ScheduleKind::EveryHours:
            if (schedule.everyHours == 24) return "0 0 * * *";
            return schedule.everyHours == 1
                       ? "0 * * * *"
                       : "0 */" + std::to_string(schedule.everyHours) + " * * *";
    }
    return {};
}

std::optional<std::time_t> NextRun(const Schedule& schedule, std::time_t after) {
    if (schedule.kind == ScheduleKind::Off) return std::nullopt;
    if (schedule.kind != ScheduleKind::EveryHours && (schedule.weekdays & AllWeekdays) == 0)
        return std::nullopt;
    std::tm today{};
    if (!LocalParts(after, today)) return std::nullopt;
    // Eight days always reach the next matching weekday, and one more covers a day
    // whose only run a clock change skipped.
    for (int offset = 0; offset <= 8; ++offset) {
        std::tm day{};
        day.tm_year = today.tm_year;
        day.tm_mon = today.tm_mon;
        day.tm_mday = today.tm_mday + offset;
        day.tm_hour = 12;
        day.tm_isdst = -1;
        if (std::mktime(&day) == -1) return std::nullopt;
        const int weekday = (day.tm_wday + 6) % 7;
        const DayRuns runs = RunsOnDay(schedule, weekday);
        for (int i = 0; i < runs.count; ++i) {
            // A wall time that a clock change repeats has two readings: the first
            // one still to come counts. One that a change skips has none.
            std::optional<std::time_t> when;
            for (const int dst : {1, 0}) {
                std::tm wall = day;
                wall.tm_hour = runs.hours[i];
                wall.tm_min = runs.minute;
                wall.tm_sec = 0;
                wall.tm_isdst = dst;
                const std::time_t t = std::mktime(&wall);
                if (t == -1 || wall.tm_hour != runs.hours[i] || wall.tm_min != runs.minute ||
                    wall.tm_mday != day.tm_mday || wall.tm_isdst != dst)
                    continue;
                if (t > after && (!when || t < *when)) when = t;
            }
            if (!when) continue;
            // Later on the wall clock, as systemd counts: an hour that a clock change
            // repeats does not run twice.
            if (offset == 0 && (runs.hours[i] * 60 + runs.minute) * 60 <=
                                   (today.tm_hour * 60 + today.tm_min) * 60 + today.tm_sec)
                continue;
            return *when;
        }
    }
    return std::nullopt;
}

}  // namespace stowaway
