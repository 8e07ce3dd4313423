#pragma once

#include <ctime>
#include <string>

#include "platform/Notifier.h"
#include "store/RunState.h"

namespace stowaway {

class Platform;

// What a Crate's state calls for on the desktop.
enum class AlertKind { None, Failure, Recovery, Overdue };

// After a run, with the state as it was before the run: an automated run that
// failed alerts once per failure streak; the first good run after an alerted
// streak says the Crate works again. A failed run of the window alerts nobody:
// the user is looking at it.
AlertKind AlertAfterRun(const CrateRunState& before, bool ok, bool automated);
// An overdue Crate alerts once until its next good backup.
AlertKind OverdueAlert(const CrateRunState& state, std::time_t now, int overdueDays);

// Folds a finished run into the state: the last run's facts, the last good
// backup and the failure streak (a good run ends it and its alerts).
struct RunFacts {
    std::string crate;
    std::time_t started = 0;
    std::time_t ended = 0;
    bool ok = false;
    std::string error;
    std::uint64_t files = 0;
    std::uint64_t bytes = 0;
    std::uint64_t archiveBytes = 0;
};
void ApplyRun(CrateRunState& state, const RunFacts& run);

// Notes that an alert reached the desktop, so the streak or spell has had it.
void MarkAlerted(CrateRunState& state, AlertKind kind);

// The notification: what happened to which Crate, the error line, where the log is.
DesktopAlert ComposeAlert(AlertKind kind, const CrateRunState& state, int overdueDays,
                          const std::string& logPath, const Platform& platform);

}  // namespace stowaway
