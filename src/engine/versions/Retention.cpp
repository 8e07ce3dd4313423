#include "engine/versions/Retention.h"

#include <algorithm>
#include <numeric>
#include <set>

namespace stowaway {

namespace {

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
long DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153L * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// Monday 0 ... Sunday 6.
int Weekday(long days) {
    return static_cast<int>(((days % 7) + 7 + 3) % 7);
}

std::string Join(const std::vector<std::string>& parts) {
    std::string out;
    for (const std::string& part : parts) out += (out.empty() ? "" : ", ") + part;
    return out;
}

const char* const MonthNames[] = {"January",   "February", "March",    "April",
                                  "May",       "June",     "July",     "August",
                                  "September", "October",  "November", "December"};

}  // namespace

IsoWeek IsoWeekOf(int year, int month, int day) {
    const long days = DaysFromCivil(year, month, day);
    // The week belongs to the year of its Thursday.
    const long thursday = days - Weekday(days) + 3;
    int isoYear = year + 1;
    while (DaysFromCivil(isoYear, 1, 1) > thursday) --isoYear;
    return IsoWeek{isoYear, static_cast<int>((thursday - DaysFromCivil(isoYear, 1, 1)) / 7 + 1)};
}

std::vector<RetentionVerdict> ApplyRetention(const std::vector<RetentionItem>& items,
                                             const KeepPolicy& policy) {
    std::vector<std::vector<std::string>> reasons(items.size());
    // Newest first: the current archive, then the kept ones by date.
    std::vector<std::size_t> order(items.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        if (items[a].current != items[b].current) return items[a].current;
        return items[a].stamp > items[b].stamp;
    });

    const int last = std::max(policy.last, 1);
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (items[order[i]].current) reasons[order[i]].push_back("the current archive");
        // The newest always stays, whatever the count says.
        if (static_cast<long>(i) < last)
            reasons[order[i]].push_back("one of the last " + std::to_string(last));
    }

    // The newest of each of the `count` newest periods that hold an archive.
    auto byPeriod = [&](int count, auto periodOf, auto describe) {
        if (count <= 0) return;
        // A set, not the last period: after a clock set back the current archive's
        // period may come again further down.
        std::set<long long> seen;
        for (std::size_t i = 0; i < order.size(); ++i) {
            const long long period = periodOf(items[order[i]].stamp);
            if (!seen.insert(period).second) continue;
            if (seen.size() > static_cast<std::size_t>(count)) break;
            reasons[order[i]].push_back(describe(items[order[i]].stamp));
        }
    };
    byPeriod(
        policy.daily,
        [](const Stamp& s) {
            return static_cast<long long>(DaysFromCivil(s.year, s.month, s.day));
        },
        [](const Stamp& s) { return "newest of " + FormatStamp(s).substr(0, 10); });
    byPeriod(
        policy.weekly,
        [](const Stamp& s) {
            const IsoWeek w = IsoWeekOf(s.year, s.month, s.day);
            return static_cast<long long>(w.year) * 100 + w.week;
        },
        [](const Stamp& s) {
            const IsoWeek w = IsoWeekOf(s.year, s.month, s.day);
            return "newest of week " + std::to_string(w.week) + " of " + std::to_string(w.year);
        });
    byPeriod(
        policy.monthly,
        [](const Stamp& s) { return static_cast<long long>(s.year) * 100 + s.month; },
        [](const Stamp& s) {
            return "newest of " + std::string(MonthNames[s.month - 1]) + " " +
                   std::to_string(s.year);
        });

    std::vector<RetentionVerdict> verdicts(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        verdicts[i].keep = !reasons[i].empty();
        verdicts[i].reason =
            verdicts[i].keep ? "kept: " + Join(reasons[i]) : "deleted: beyond the policy";
    }
    return verdicts;
}

}  // namespace stowaway
