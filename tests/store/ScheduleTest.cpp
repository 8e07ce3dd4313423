#include "store/settings/Schedule.h"

#include <gtest/gtest.h>

namespace stowaway {
namespace {

TEST(ScheduleText, ReadsEveryFormAndWritesItBack) {
    const struct {
        const char* text;
        Schedule schedule;
        const char* formatted;
    } cases[] = {
        {"  OFF ", Schedule{}, "off"},
        {"Daily 7:05", DailyAt(7, 5), "daily 07:05"},
        {"daily 00:00", DailyAt(0, 0), "daily 00:00"},
        {"daily 23:59", DailyAt(23, 59), "daily 23:59"},
        {"THU,Mon 09:00", WeekdaysAt(0b0001001, 9, 0), "mon,thu 09:00"},
        {"mon, thu 09:00", WeekdaysAt(0b0001001, 9, 0), "mon,thu 09:00"},
        {"mon-fri 18:15", WeekdaysAt(0b0011111, 18, 15), "mon,tue,wed,thu,fri 18:15"},
        {"sat,sun,sat 10:00", WeekdaysAt(0b1100000, 10, 0), "sat,sun 10:00"},
        {"mon-sun 01:00", DailyAt(1, 0), "daily 01:00"},
        {"every 1h", EveryHours(1), "every 1h"},
        {"Every 24H", EveryHours(24), "every 24h"},
    };
    for (const auto& c : cases) {
        const ScheduleParse parse = ParseSchedule(c.text);
        ASSERT_TRUE(parse.schedule) << c.text << ": " << parse.error;
        EXPECT_EQ(*parse.schedule, c.schedule) << c.text;
        EXPECT_EQ(FormatSchedule(*parse.schedule), c.formatted) << c.text;
        EXPECT_EQ(ParseSchedule(c.formatted).schedule, parse.schedule) << c.formatted;
    }
}

TEST(ScheduleText, ImpossibleTimesAndEmptyWeekdaysSayWhy) {
    const char* const forms =
        " (the forms are \"daily HH:MM\", \"mon,thu HH:MM\", \"every Nh\" and \"off\")";
    const struct {
        const char* text;
        std::string error;
    } cases[] = {
        {"daily 24:00", "there is no time 24:00 in a day (hours 00 to 23, minutes 00 to 59)"},
        {"daily 12:60", "there is no time 12:60 in a day (hours 00 to 23, minutes 00 to 59)"},
        {"mon 99:99", "there is no time 99:99 in a day (hours 00 to 23, minutes 00 to 59)"},
        {"daily 7:5", "\"7:5\" is not a time of day written HH:MM" + std::string(forms)},
        {"daily -1:00", "\"-1:00\" is not a time of day written HH:MM" + std::string(forms)},
        {"daily noon", "\"noon\" is not a time of day written HH:MM" + std::string(forms)},
        {", 09:00", "no weekday is given; name at least one, such as \"mon,thu 09:00\""},
        {",,, 09:00", "no weekday is given; name at least one, such as \"mon,thu 09:00\""},
        {"monday 09:00",
         "\"monday\" is not a weekday (mon, tue, wed, thu, fri, sat, sun, or a range such as "
         "mon-fri)"},
        {"fri-mon 09:00",
         "the weekday range \"fri-mon\" runs backwards (write it from the earlier day, such as "
         "mon-fri)"},
        {"every 5h", "every 5h does not divide a day evenly; use 1, 2, 3, 4, 6, 8, 12 or 24 hours"},
        {"every 0h", "every 0h does not divide a day evenly; use 1, 2, 3, 4, 6, 8, 12 or 24 hours"},
        {"every 48h",
         "every 48h does not divide a day evenly; use 1, 2, 3, 4, 6, 8, 12 or 24 hours"},
        {"every h", "\"every h\" is not \"every Nh\", such as \"every 6h\""},
        {"every 6", "\"every 6\" is not \"every Nh\", such as \"every 6h\""},
        {"", "no schedule is given" + std::string(forms)},
        {"daily", "\"daily\" is not a schedule" + std::string(forms)},
        {"daily 02:30 extra", "\"daily 02:30 extra\" is not a schedule" + std::string(forms)},
    };
    for (const auto& c : cases) {
        const ScheduleParse parse = ParseSchedule(c.text);
        EXPECT_FALSE(parse.schedule) << c.text;
        EXPECT_EQ(parse.error, c.error) << c.text;
    }
}

}  // namespace
}  // namespace stowaway
