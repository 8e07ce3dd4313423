#pragma once

#include <string>
#include <vector>

#include "engine/versions/VersionNames.h"
#include "store/settings/KeepSettings.h"

namespace stowaway {

// One archive of a Crate as the policy sees it: the current one, or a kept one
// with the date its name carries.
struct RetentionItem {
    Stamp stamp;
    bool current = false;
};

struct RetentionVerdict {
    bool keep = false;
    // "kept: the current archive", "kept: one of the last 10, newest of week 49",
    // "deleted: beyond the policy".
    std::string reason;
};

// Which archives the policy keeps, one verdict per item in the items' order.
// The current archive is always kept and counts as one of the last, and as the
// newest of its day, week and month; the others are ordered by their names'
// dates (a clock set back does not move the current one). Each rule picks
// independently; an archive is kept when any rule picks it.
std::vector<RetentionVerdict> ApplyRetention(const std::vector<RetentionItem>& items,
                                             const KeepPolicy& policy);

// The ISO 8601 week of a date: its year and week number (1 to 53).
struct IsoWeek {
    int year = 0;
    int week = 0;
};
IsoWeek IsoWeekOf(int year, int month, int day);

}  // namespace stowaway
