#include "engine/schedule/Calendar.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <sstream>

#include "support/TestPlatforms.h"

namespace stowaway {
namespace {

// Runs the tests in a chosen time zone and puts the old one back.
class TimeZone {
  public:
    explicit TimeZone(const std::string& zone) {
        if (const char* old = std::getenv("TZ")) old_ = old;
        ::setenv("TZ", zone.c_str(), 1);
        ::tzset();
    }
    ~TimeZone() {
        if (old_)
            ::setenv("TZ", old_->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

  private:
    std::optional<std::string> old_;
};

std::string Local(std::time_t when) {
    std::tm tm{};
    localtime_r(&when, &tm);
    char text[64];
    std::strftime(text, sizeof text, "%a %Y-%m-%d %H:%M:%S %Z", &tm);
    return text;
}

// The next elapses systemd itself computes, in its own words.
std::vector<std::string> SystemdElapses(const std::string& zone, const std::string& spec,
                                        std::time_t base, int count) {
    const std::string command = "TZ='" + zone + "' systemd-analyze calendar --base-time=@" +
                                std::to_string(base) + " --iterations=" + std::to_string(count) +
                                " '" + spec + "' 2>&1";
    std::vector<std::string> elapses;
    std::istringstream output(test::RunShell(command).output);
    for (std::string text; std::getline(output, text);) {
        for (const char* label : {"Next elapse: ", "Iter. #"}) {
            const std::size_t at = text.find(label);
            if (at == std::string::npos) continue;
            std::string rest = text.substr(at + std::string(label).size());
            if (label[0] == 'I') rest = rest.substr(rest.find(": ") + 2);
            elapses.push_back(rest);
        }
        if (text.find("Failed") != std::string::npos) elapses.push_back(text);
    }
    return elapses;
}

TEST(ScheduleCalendar, TextsForSystemdAndCron) {
    const struct {
        Schedule schedule;
        const char* onCalendar;
        const char* cron;
    } cases[] = {
        {Schedule{}, "", ""},
        {DailyAt(2, 30), "*-*-* 02:30:00", "30 2 * * *"},
        {WeekdaysAt(0b0001001, 9, 0), "Mon,Thu *-*-* 09:00:00", "0 9 * * 1,4"},
        {WeekdaysAt(0b1000000, 23, 59), "Sun *-*-* 23:59:00", "59 23 * * 0"},
        {EveryHours(1), "*-*-* 00/1:00:00", "0 * * * *"},
        {EveryHours(6), "*-*-* 00/6:00:00", "0 */6 * * *"},
        {EveryHours(24), "*-*-* 00:00:00", "0 0 * * *"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(OnCalendarText(c.schedule), c.onCalendar) << FormatSchedule(c.schedule);
        EXPECT_EQ(CronFields(c.schedule), c.cron) << FormatSchedule(c.schedule);
    }
    EXPECT_EQ(NextRun(Schedule{}, 0), std::nullopt);
}

// Every schedule form, in zones with and without clock changes, from ordinary
// times, from a run's own second and across the changes themselves.
TEST(ScheduleCalendar, NextRunsAgreeWithSystemdAnalyze) {
    const Schedule schedules[] = {
        DailyAt(2, 30),
        DailyAt(0, 0),
        WeekdaysAt(0b0001001, 9, 0),
        WeekdaysAt(0b1100000, 3, 15),
        EveryHours(1),
        EveryHours(3),
        EveryHours(24),
        DailyAt(23, 59),
    };
    const char* const zones[] = {"UTC", "Europe/Berlin", "America/New_York", "Australia/Lord_Howe",
                                 "Asia/Kolkata"};
    const std::time_t bases[] = {
        1796635800,  // Mon 2026-12-07 09:30 UTC
        1774742400,  // Sun 2026-03-29 00:00 UTC, before Europe's spring change
        1792882800,  // Sat 2026-10-24 23:00 UTC, before Europe's autumn change
        1772953200,  // Sun 2026-03-08 07:00 UTC, around New York's spring change
        1775311200,  // Sat 2026-04-04 14:00 UTC, before Lord Howe's half hour back
        1796634000,  // Mon 2026-12-07 09:00 UTC, a run's own second
        1796869800,  // Thu 2026-12-10 02:30 UTC, a run's own second
    };
    int compared = 0;
    for (const char* zone : zones) {
        const TimeZone tz(zone);
        for (const Schedule& schedule : schedules) {
            for (const std::time_t base : bases) {
                const std::vector<std::string> expected =
                    SystemdElapses(zone, OnCalendarText(schedule), base, 4);
                std::vector<std::string> ours;
                std::time_t from = base;
                for (int i = 0; i < 4; ++i) {
                    const std::optional<std::time_t> next = NextRun(schedule, from);
                    ASSERT_TRUE(next);
                    ours.push_back(Local(*next));
                    from = *next;
                }
                EXPECT_EQ(ours, expected)
                    << zone << " " << OnCalendarText(schedule) << " from @" << base;
                ++compared;
            }
        }
    }
    EXPECT_EQ(compared, 5 * 8 * 7);
}

}  // namespace
}  // namespace stowaway
