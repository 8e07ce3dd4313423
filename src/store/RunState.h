#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace stowaway {

// How the last backup of a Crate ended.
enum class RunResult { None, Ok, Failed };

// What the backups of one Crate left behind: the last run, the last good one and
// what the alerts need. Kept in Stowaway.state, never in the data file.
struct CrateRunState {
    std::string name;                     // as the last run wrote it
    std::optional<std::time_t> firstRun;  // the first run recorded: overdue counts from it
    std::optional<std::time_t> started;   // the last run
    std::optional<std::time_t> ended;
    RunResult result = RunResult::None;
    std::string error;               // the first error line of a failed run
    std::uint64_t files = 0;         // files backed up
    std::uint64_t bytes = 0;         // bytes of the files selected
    std::uint64_t archiveBytes = 0;  // the archive (all volumes of a set)
    std::uint64_t durationSeconds = 0;
    std::optional<std::time_t> lastGood;  // end of the last run that succeeded
    int failureStreak = 0;                // failed runs since the last good one
    bool failureAlerted = false;          // the streak has had its one alert
    bool overdueAlerted = false;          // the overdue spell has had its one alert
    // Lines this version does not know, kept as written.
    std::vector<std::string> otherLines;
};

// The whole file: a section per Crate in the order met.
struct RunStateTable {
    std::vector<std::string> leadingLines;  // comments above the first section
    std::vector<CrateRunState> crates;

    // The Crate's section, names compared as Crate names are (case and outer
    // blanks ignored); null when it has none.
    const CrateRunState* find(const std::string& crateName) const;
    // The Crate's section, added at the end when it has none.
    CrateRunState& entry(const std::string& crateName);
};

// The file's text: "[NAME]" then "key=value" lines, names and values escaped so
// that each stays one line ("\\", "\n", "\r", "\t", "\0", "\xHH").
std::string FormatRunState(const RunStateTable& table);

// Reads what can be read. A line that makes no sense is kept as it is in its
// section and described in `problem` (the first one, with its line number);
// the rest of the file still counts.
struct RunStateParse {
    RunStateTable table;
    std::string problem;  // empty when the file was sound
};
RunStateParse ParseRunState(const std::string& text);

// Times are written "2026-12-07T17:30:00Z" (UTC).
std::string FormatStateTime(std::time_t when);
std::optional<std::time_t> ParseStateTime(const std::string& text);

// Escaping of names and values.
std::string EscapeStateText(const std::string& text);
std::optional<std::string> UnescapeStateText(const std::string& text);

// No good backup for `days` days (0: never overdue), counted from the last good
// backup, or from the first run when none was good. A Crate that never ran is not
// overdue: nothing tells since when it should have.
bool IsOverdue(const CrateRunState& state, std::time_t now, int days);

}  // namespace stowaway
