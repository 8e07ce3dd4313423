#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/settings/Schedule.h"

namespace stowaway {

// Stowaway's part of a crontab: the lines between two marker lines. Lines outside
// the markers are the user's and are never changed.
inline constexpr std::string_view CronBeginMarker =
    "# BEGIN Stowaway schedules (written by Stowaway; change them in its Schedule dialog)";
inline constexpr std::string_view CronEndMarker = "# END Stowaway schedules";

struct CronEntry {
    std::string crate;
    std::string program;
    std::string fields;  // the five time fields
};

// A word for /bin/sh in single quotes, with cron's "%" escaped. Nullopt for a word
// with a line break (or a NUL), which a crontab line cannot hold.
std::optional<std::string> CronWord(std::string_view word);
// The line that runs "<program> -abu <crate>" at the schedule's times.
std::optional<std::string> CronLine(const CronEntry& entry);

struct CronTable {
    std::vector<CronEntry> entries;  // the lines of the block that are ours
    bool damaged = false;            // a begin marker without its end: nothing is changed
};
CronTable ReadCronBlock(std::string_view crontab);

// The crontab with the block replaced by one for the entries (no block when
// there are none), everything else as it was.
std::string WithCronBlock(std::string_view crontab, const std::vector<CronEntry>& entries);

}  // namespace stowaway
