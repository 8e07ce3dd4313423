#include "engine/Alerts.h"

#include "platform/Platform.h"
#include "platform/VisibleText.h"

namespace stowaway {

AlertKind AlertAfterRun(const CrateRunState& before, bool ok, bool automated) {
    if (ok) return before.failureAlerted ? AlertKind::Recovery : AlertKind::None;
    return automated && !before.failureAlerted ? AlertKind::Failure : AlertKind::None;
}

AlertKind OverdueAlert(const CrateRunState& state, std::time_t now, int overdueDays) {
    return IsOverdue(state, now, overdueDays) && !state.overdueAlerted ? AlertKind::Overdue
                                                                       : AlertKind::None;
}

void ApplyRun(CrateRunState& state, const RunFacts& run) {
    state.name = run.crate;
    if (!state.firstRun) state.firstRun = run.started;
    state.started = run.started;
    state.ended = run.ended;
    state.durationSeconds =
        run.ended > run.started ? static_cast<std::uint64_t>(run.ended - run.started) : 0;
    state.result = run.ok ? RunResult::Ok : RunResult::Failed;
    state.error = run.ok ? std::string() : run.error;
    state.files = run.files;
    state.bytes = run.bytes;
    state.archiveBytes = run.archiveBytes;
    if (run.ok) {
        state.lastGood = run.ended;
        state.failureStreak = 0;
        state.failureAlerted = false;
        state.overdueAlerted = false;
    } else {
        ++state.failureStreak;
    }
}

void MarkAlerted(CrateRunState& state, AlertKind kind) {
    if (kind == AlertKind::Failure) state.failureAlerted = true;
    if (kind == AlertKind::Overdue) state.overdueAlerted = true;
}

DesktopAlert ComposeAlert(AlertKind kind, const CrateRunState& state, int overdueDays,
                          const std::string& logPath, const Platform& platform) {
    const std::string name = VisibleText(state.name);
    const std::string log = "Log: " + VisibleText(logPath);
    auto when = [&](const std::optional<std::time_t>& at) {
        return at ? platform.shortDate(*at) + " " + platform.longTime(*at) : std::string("never");
    };
    DesktopAlert alert;
    switch (kind) {
        case AlertKind::Failure:
            alert.title = "Stowaway: the backup of " + name + " failed";
            alert.body = (state.error.empty() ? std::string("The backup reported an error.")
                                              : VisibleText(state.error)) +
                         "\nLast good backup: " + when(state.lastGood) + "\n" + log;
            alert.urgent = true;
            break;
        case AlertKind::Recovery:
            alert.title = "Stowaway: the backup of " + name + " works again";
            alert.body = "It succeeded after " + std::to_string(state.failureStreak) +
                         (state.failureStreak == 1 ? " failed run." : " failed runs.") + "\n" + log;
            break;
        case AlertKind::Overdue:
            alert.title = "Stowaway: " + name + " is overdue";
            alert.body = "No good backup for " + std::to_string(overdueDays) +
                         " days or more (last good backup: " + when(state.lastGood) + ").\n" + log;
            alert.urgent = true;
            break;
        case AlertKind::None:
            break;
    }
    return alert;
}

}  // namespace stowaway
