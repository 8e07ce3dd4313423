// Retention over simulated years of runs: each run keeps the previous archive
// under the name its modification time gives, then the policy prunes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/versions/Retention.h"
#include "engine/versions/VersionNames.h"

namespace stowaway {
namespace {

// Sets TZ for one test and puts the old value back.
class TimeZone {
  public:
    explicit TimeZone(const char* tz) {
        if (const char* old = std::getenv("TZ")) saved_ = old;
        had_ = std::getenv("TZ") != nullptr;
        ::setenv("TZ", tz, 1);
        ::tzset();
    }
    ~TimeZone() {
        if (had_)
            ::setenv("TZ", saved_.c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

  private:
    std::string saved_;
    bool had_ = false;
};

std::time_t Utc(int y, int mo, int d, int h, int mi = 0) {
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    return ::timegm(&tm);
}

Stamp S(const std::string& text) {  // "2024-02-29_233000"
    auto n = [&](std::size_t at, std::size_t len) { return std::stoi(text.substr(at, len)); };
    return Stamp{n(0, 4), n(5, 2), n(8, 2), n(11, 2), n(13, 2), n(15, 2)};
}

struct Simulation {
    std::string kept;  // the dated names left, oldest first
    int clashes = 0;   // runs whose previous archive found its name taken
    int deletedCurrent = 0;
};

// Runs at the given moments: each keeps the previous archive (the one the run
// before wrote) under its local time's name unless that name is taken, then
// applies the policy to the current archive and the kept ones.
Simulation Simulate(const std::vector<std::time_t>& runs, const KeepPolicy& policy) {
    Simulation sim;
    std::set<Stamp> kept;
    for (std::size_t i = 1; i < runs.size(); ++i) {
        const Stamp previous = *LocalStamp(runs[i - 1]);
        if (!kept.insert(previous).second) ++sim.clashes;
        std::vector<RetentionItem> items{{*LocalStamp(runs[i]), true}};
        for (const Stamp& s : kept) items.push_back({s, false});
        const std::vector<RetentionVerdict> verdicts = ApplyRetention(items, policy);
        if (!verdicts[0].keep) ++sim.deletedCurrent;
        for (std::size_t j = 1; j < items.size(); ++j)
            if (!verdicts[j].keep) kept.erase(items[j].stamp);
    }
    for (const Stamp& s : kept) sim.kept += (sim.kept.empty() ? "" : " ") + FormatStamp(s);
    return sim;
}

std::vector<std::time_t> Every(std::time_t start, long step, int count) {
    std::vector<std::time_t> runs;
    for (int i = 0; i < count; ++i) runs.push_back(start + step * i);
    return runs;
}

KeepPolicy Policy(int last, int daily, int weekly, int monthly) {
    return KeepPolicy{true, last, daily, weekly, monthly};
}

constexpr long Hour = 3600;
constexpr long Day = 24 * Hour;
// Central Europe without the time zone database: CET, CEST from the last Sunday of
// March 02:00 to the last Sunday of October 03:00.
constexpr const char* Berlin = "CET-1CEST,M3.5.0,M10.5.0/3";

TEST(Retention, SimulatedRunsKeepWhatThePolicySays) {
    struct Case {
        const char* what;
        const char* tz;
        std::vector<std::time_t> runs;
        KeepPolicy policy;
        const char* kept;  // the dated names left, oldest first
        int clashes;
    };
    std::vector<std::time_t> setBack = Every(Utc(2026, 3, 1, 2), Day, 20);
    // On the 10th run the clock stands three days and an hour behind.
    for (std::size_t i = 10; i < setBack.size(); ++i) setBack[i] -= 3 * Day + Hour;
    const Case cases[] = {
        {"daily runs over a leap year's February: the newest of each month, leap day included",
         "UTC", Every(Utc(2024, 1, 25, 23, 30), Day, 41), Policy(1, 0, 0, 3),
         "2024-01-31_233000 2024-02-29_233000", 0},
        {"three years of daily runs, 10 last, 7 days, 4 weeks, 12 months", "UTC",
         Every(Utc(2024, 1, 1, 2), Day, 3 * 365 + 1), Policy(10, 7, 4, 12),
         // The current one is 2026-12-31 (week 53 of 2026): the nine days before it,
         // the Sundays of weeks 51 and 50, the month ends back to January.
         "2026-01-31_020000 2026-02-28_020000 2026-03-31_020000 2026-04-30_020000 "
         "2026-05-31_020000 2026-06-30_020000 2026-07-31_020000 2026-08-31_020000 "
         "2026-09-30_020000 2026-10-31_020000 2026-11-30_020000 2026-12-13_020000 "
         "2026-12-20_020000 2026-12-22_020000 2026-12-23_020000 2026-12-24_020000 "
         "2026-12-25_020000 2026-12-26_020000 2026-12-27_020000 2026-12-28_020000 "
         "2026-12-29_020000 2026-12-30_020000",
         0},
        {"hourly runs over the autumn change: 02:00 comes twice, the second one has no name",
         Berlin, Every(Utc(2026, 10, 24, 22), Hour, 8), Policy(100, 0, 0, 0),
         "2026-10-25_000000 2026-10-25_010000 2026-10-25_020000 2026-10-25_030000 "
         "2026-10-25_040000 2026-10-25_050000",
         1},
        {"hourly runs over the spring change: 02:00 never comes", Berlin,
         Every(Utc(2026, 3, 28, 23), Hour, 5), Policy(100, 0, 0, 0),
         "2026-03-29_000000 2026-03-29_010000 2026-03-29_030000 2026-03-29_040000", 0},
        {"hourly runs for two weeks, 3 last and 5 days: each day's last hour", "UTC",
         Every(Utc(2026, 12, 1, 0), Hour, 14 * 24), Policy(3, 5, 0, 0),
         "2026-12-10_230000 2026-12-11_230000 2026-12-12_230000 2026-12-13_230000 "
         "2026-12-14_210000 2026-12-14_220000",
         0},
        {"the clock set back three days and an hour: names sort by their dates", "UTC", setBack,
         Policy(4, 0, 0, 0), "2026-03-14_010000 2026-03-15_010000 2026-03-16_010000", 0},
        {"ISO weeks across the new year: 2026 has a week 53, week 1 of 2027 starts on "
         "2027-01-04",
         "UTC", Every(Utc(2026, 12, 20, 12), Day, 20), Policy(1, 0, 3, 0),
         "2026-12-27_120000 2027-01-03_120000", 0},
    };
    for (const Case& c : cases) {
        TimeZone tz(c.tz);
        const Simulation sim = Simulate(c.runs, c.policy);
        EXPECT_EQ(sim.kept, c.kept) << c.what;
        EXPECT_EQ(sim.clashes, c.clashes) << c.what;
        EXPECT_EQ(sim.deletedCurrent, 0) << c.what;
    }
}

// Every reason a preview shows, and an archive picked by several rules names each.
TEST(Retention, VerdictsSayWhy) {
    const std::vector<RetentionItem> items = {
        {S("2026-12-07_020000"), true},  {S("2026-12-06_020000"), false},
        {S("2026-12-05_020000"), false}, {S("2026-11-30_020000"), false},
        {S("2026-11-29_020000"), false},
    };
    const std::vector<RetentionVerdict> v = ApplyRetention(items, Policy(2, 0, 2, 2));
    ASSERT_EQ(v.size(), items.size());
    EXPECT_EQ(v[0].reason,
              "kept: the current archive, one of the last 2, newest of week 50 of 2026, newest of "
              "December 2026");
    EXPECT_EQ(v[1].reason, "kept: one of the last 2, newest of week 49 of 2026");
    EXPECT_EQ(v[2].reason, "deleted: beyond the policy");
    EXPECT_EQ(v[3].reason, "kept: newest of November 2026");
    EXPECT_EQ(v[4].reason, "deleted: beyond the policy");
    EXPECT_FALSE(v[2].keep);
}

// The current archive stays even when the clock made it look oldest, and a policy
// applied to what it kept deletes nothing more.
TEST(Retention, TheCurrentOneStaysAndAPolicyIsStable) {
    const std::vector<RetentionItem> items = {
        {S("2026-12-06_020000"), false},
        {S("2020-01-01_000000"), true},
        {S("2026-12-05_020000"), false},
        {S("2026-11-05_020000"), false},
    };
    const KeepPolicy policy = Policy(1, 1, 1, 2);
    const std::vector<RetentionVerdict> first = ApplyRetention(items, policy);
    EXPECT_TRUE(first[1].keep);
    std::vector<RetentionItem> left;
    for (std::size_t i = 0; i < items.size(); ++i)
        if (first[i].keep) left.push_back(items[i]);
    for (const RetentionVerdict& verdict : ApplyRetention(left, policy))
        EXPECT_TRUE(verdict.keep) << verdict.reason;
}

// Without a current archive (deleted by hand) the newest kept one stays, even under
// a count of none.
TEST(Retention, TheNewestStaysWithoutACurrentArchive) {
    const std::vector<RetentionItem> items = {{S("2026-12-05_020000"), false},
                                              {S("2026-12-06_020000"), false}};
    const std::vector<RetentionVerdict> v = ApplyRetention(items, Policy(0, 0, 0, 0));
    EXPECT_FALSE(v[0].keep);
    EXPECT_TRUE(v[1].keep);
    EXPECT_EQ(v[1].reason, "kept: one of the last 1");
}

TEST(Retention, IsoWeeks) {
    struct Case {
        int y, m, d, year, week;
    } cases[] = {
        {2026, 12, 31, 2026, 53}, {2027, 1, 3, 2026, 53}, {2027, 1, 4, 2027, 1},
        {2024, 12, 30, 2025, 1},  {2024, 2, 29, 2024, 9}, {2021, 1, 3, 2020, 53},
        {2026, 12, 7, 2026, 50},
    };
    for (const Case& c : cases) {
        const IsoWeek w = IsoWeekOf(c.y, c.m, c.d);
        EXPECT_EQ(w.year, c.year) << c.y << "-" << c.m << "-" << c.d;
        EXPECT_EQ(w.week, c.week) << c.y << "-" << c.m << "-" << c.d;
    }
}

}  // namespace
}  // namespace stowaway
