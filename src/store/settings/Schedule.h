#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace stowaway {

enum class ScheduleKind { Off, Daily, Weekdays, EveryHours };

// When a Crate backs up by itself. Weekdays are bits, Monday (bit 0) to Sunday
// (bit 6). Every N hours runs on the hours of the day that N divides, so N must
// divide a day (1, 2, 3, 4, 6, 8, 12 or 24) for the runs to be evenly spaced.
struct Schedule {
    ScheduleKind kind = ScheduleKind::Off;
    int hour = 0;
    int minute = 0;
    unsigned weekdays = 0;
    int everyHours = 0;

    bool operator==(const Schedule&) const = default;
};

inline constexpr unsigned AllWeekdays = 0x7f;

Schedule DailyAt(int hour, int minute);
Schedule WeekdaysAt(unsigned weekdays, int hour, int minute);
Schedule EveryHours(int hours);

// The three-letter English name of a weekday, 0 = Monday ("mon").
std::string_view WeekdayName(int day);

struct ScheduleParse {
    std::optional<Schedule> schedule;
    std::string error;  // why the text is not a schedule, when it is not
};
// Reads "off", "daily HH:MM", "mon,thu HH:MM" (names of three letters, ranges
// such as mon-fri, any letter case) or "every Nh". A list of all seven days is daily.
ScheduleParse ParseSchedule(std::string_view text);
// The form ParseSchedule reads back: "off", "daily 02:30", "mon,thu 09:00", "every 6h".
std::string FormatSchedule(const Schedule& schedule);

}  // namespace stowaway
