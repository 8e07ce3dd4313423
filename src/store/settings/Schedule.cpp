#include "store/settings/Schedule.h"

#include <array>
#include <charconv>

#include "platform/Text.h"

namespace stowaway {

namespace {

constexpr std::array<std::string_view, 7> Weekdays = {"mon", "tue", "wed", "thu",
                                                      "fri", "sat", "sun"};

const char* const Forms =
    " (the forms are \"daily HH:MM\", \"mon,thu HH:MM\", \"every Nh\" and \"off\")";

std::optional<int> Number(std::string_view text) {
    int value = 0;
    if (text.empty() || text.size() > 4 ||
        text.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<int> DayIndex(std::string_view name) {
    for (std::size_t day = 0; day < Weekdays.size(); ++day)
        if (Weekdays[day] == name) return static_cast<int>(day);
    return std::nullopt;
}

std::string TwoDigits(int value) {
    return std::string(1, static_cast<char>('0' + value / 10)) +
           static_cast<char>('0' + value % 10);
}

// "HH:MM" with one or two digits for the hour and two for the minute.
bool ParseTime(std::string_view text, Schedule& schedule, std::string& error) {
    const std::size_t colon = text.find(':');
    const std::optional<int> hour =
        colon == std::string_view::npos ? std::nullopt : Number(text.substr(0, colon));
    const std::string_view minuteText =
        colon == std::string_view::npos ? std::string_view{} : text.substr(colon + 1);
    const std::optional<int> minute = minuteText.size() == 2 ? Number(minuteText) : std::nullopt;
    if (!hour || !minute || colon == 0 || colon > 2) {
        error = "\"" + std::string(text) + "\" is not a time of day written HH:MM" + Forms;
        return false;
    }
    if (*hour > 23 || *minute > 59) {
        error = "there is no time " + std::string(text) +
                " in a day (hours 00 to 23, minutes 00 to 59)";
        return false;
    }
    schedule.hour = *hour;
    schedule.minute = *minute;
    return true;
}

bool ParseWeekdays(std::string_view list, unsigned& days, std::string& error) {
    days = 0;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t comma = list.find(',', start);
        if (comma == std::string_view::npos) comma = list.size();
        const std::string_view item = list.substr(start, comma - start);
        start = comma + 1;
        if (item.empty()) continue;
        const std::size_t dash = item.find('-');
        const std::optional<int> first = DayIndex(item.substr(0, dash));
        const std::optional<int> last =
            dash == std::string_view::npos ? first : DayIndex(item.substr(dash + 1));
        if (!first || !last) {
            error = "\"" + std::string(item) +
                    "\" is not a weekday (mon, tue, wed, thu, fri, sat, sun, or a range such as "
                    "mon-fri)";
            return false;
        }
        if (*last < *first) {
            error = "the weekday range \"" + std::string(item) +
                    "\" runs backwards (write it from the earlier day, such as mon-fri)";
            return false;
        }
        for (int day = *first; day <= *last; ++day) days |= 1u << day;
    }
    if (days == 0) {
        error = "no weekday is given; name at least one, such as \"mon,thu 09:00\"";
        return false;
    }
    return true;
}

}  // namespace

Schedule DailyAt(int hour, int minute) {
    return Schedule{ScheduleKind::Daily, hour, minute, AllWeekdays, 0};
}

Schedule WeekdaysAt(unsigned weekdays, int hour, int minute) {
    if ((weekdays & AllWeekdays) == AllWeekdays) return DailyAt(hour, minute);
    return Schedule{ScheduleKind::Weekdays, hour, minute, weekdays & AllWeekdays, 0};
}

Schedule EveryHours(int hours) {
    return Schedule{ScheduleKind::EveryHours, 0, 0, 0, hours};
}

std::string_view WeekdayName(int day) {
    return Weekdays.at(static_cast<std::size_t>(day));
}

ScheduleParse ParseSchedule(std::string_view input) {
    ScheduleParse result;
    // "mon, thu 09:00" is read as "mon,thu 09:00".
    const std::string given = ToLower(TrimBlanksAndTabs(input));
    std::string text;
    for (std::size_t i = 0; i < given.size(); ++i) {
        const char c = given[i];
        if (c == ',') text = TrimBlanksAndTabs(text);
        const std::size_t next = given.find_first_not_of(" \t", i);
        const bool dayFollows =
            next != std::string::npos && given[next] >= 'a' && given[next] <= 'z';
        if ((c == ' ' || c == '\t') && !text.empty() && text.back() == ',' && dayFollows) continue;
        text += c;
    }
    if (text.empty()) {
        result.error = std::string("no schedule is given") + Forms;
        return result;
    }
    if (text == "off") {
        result.schedule = Schedule{};
        return result;
    }
    const std::size_t blank = text.find_first_of(" \t");
    const std::string first = text.substr(0, blank);
    const std::string rest =
        blank == std::string::npos ? std::string{} : TrimBlanksAndTabs(text.substr(blank));
    if (first == "every") {
        const std::optional<int> hours = rest.size() >= 2 && rest.back() == 'h'
                                             ? Number(rest.substr(0, rest.size() - 1))
                                             : std::nullopt;
        if (!hours) {
            result.error = "\"" + text + "\" is not \"every Nh\", such as \"every 6h\"";
        } else if (*hours < 1 || *hours > 24 || 24 % *hours != 0) {
            result.error = "every " + rest +
                           " does not divide a day evenly; use 1, 2, 3, 4, 6, 8, 12 or 24 hours";
        } else {
            result.schedule = EveryHours(*hours);
        }
        return result;
    }
    if (rest.empty() || rest.find_first_of(" \t") != std::string::npos) {
        result.error = "\"" + text + "\" is not a schedule" + Forms;
        return result;
    }
    Schedule schedule;
    unsigned days = AllWeekdays;
    if (first != "daily" && !ParseWeekdays(first, days, result.error)) return result;
    if (!ParseTime(rest, schedule, result.error)) return result;
    result.schedule = WeekdaysAt(days, schedule.hour, schedule.minute);
    return result;
}

std::string FormatSchedule(const Schedule& schedule) {
    const std::string time = TwoDigits(schedule.hour) + ":" + TwoDigits(schedule.minute);
    switch (schedule.kind) {
        case ScheduleKind::Off:
            return "off";
        case ScheduleKind::Daily:
            return "daily " + time;
        case ScheduleKind::Weekdays: {
            std::string days;
            for (int day = 0; day < 7; ++day) {
                if (!(schedule.weekdays & (1u << day))) continue;
                if (!days.empty()) days += ',';
                days += WeekdayName(day);
            }
            return days + " " + time;
        }
        case ScheduleKind::EveryHours:
            return "every " + std::to_string(schedule.everyHours) + "h";
    }
    return "off";
}

}  // namespace stowaway
