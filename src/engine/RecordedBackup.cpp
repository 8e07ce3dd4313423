#include "engine/RecordedBackup.h"

#include "engine/Alerts.h"
#include "engine/CrateRunLock.h"
#include "engine/JobContext.h"
#include "engine/OverdueDays.h"
#include "engine/RunLog.h"
#include "engine/WorkFiles.h"
#include "engine/WorkFilesLock.h"
#include "platform/Text.h"
#include "platform/VisibleText.h"
#include "store/RunStateFile.h"

namespace stowaway {

namespace {

const CrateRecord* SelectedCrate(const JobContext& ctx) {
    const short slot = ctx.store.CurrentIndex;
    if (slot < 0 || slot > MaxCrateIndex) return nullptr;
    const CrateRecord& crate = ctx.store.CrateTable[static_cast<std::size_t>(slot)];
    return crate.Name.empty() ? nullptr : &crate;
}

// The size of the files the run selected, from its list file.
std::uint64_t SelectedBytes(const JobContext& ctx) {
    std::string list;
    if (ctx.platform.readWholeFile(WorkFilePaths(ctx).list, list) != ReadStatus::Read) return 0;
    std::uint64_t total = 0;
    std::size_t at = 0;
    while (at < list.size()) {
        std::size_t end = list.find('\n', at);
        if (end == std::string::npos) end = list.size();
        std::string path = list.substr(at, end - at);
        at = end + 1;
        if (!path.empty() && path.back() == '\r') path.pop_back();
        if (!path.empty()) total += ctx.platform.fileSize(path).value_or(0);
    }
    return total;
}

// The archive, with the volumes NAME.z01, NAME.z02, ... of a split set.
std::uint64_t ArchiveBytes(const JobContext& ctx, const std::string& location) {
    std::uint64_t total = ctx.platform.fileSize(location).value_or(0);
    if (!EndsWith(ToLower(location), ".zip")) return total;
    const std::string stem = location.substr(0, location.size() - 2);
    for (int n = 1; n < 1000; ++n) {
        const std::string number = n < 10 ? "0" + std::to_string(n) : std::to_string(n);
        const auto volume = ctx.platform.fileSize(stem + number);
        if (!volume) break;
        total += *volume;
    }
    return total;
}

// Sends one alert; the streak or spell counts as alerted only when it was shown.
void SendAlert(const JobContext& ctx, AlertKind kind, const CrateRunState& about, int overdueDays,
               CrateRunState& mark, std::vector<std::string>& notes) {
    if (!ctx.notifier || kind == AlertKind::None) return;
    const DesktopAlert alert =
        ComposeAlert(kind, about, overdueDays, ctx.store.LogPath, ctx.platform);
    const std::string why = ctx.notifier->notify(alert);
    if (why.empty()) {
        MarkAlerted(mark, kind);
        notes.push_back("    Alert shown on the desktop: " + alert.title);
    } else {
        notes.push_back("    Alert not shown on the desktop (" + why + "): " + alert.title);
    }
}

void AlertOverdue(const JobContext& ctx, RunStateTable& table,
                  const std::vector<std::string>& crateNames, std::time_t now,
                  std::vector<std::string>* overdue, std::vector<std::string>& notes) {
    for (const std::string& name : crateNames) {
        if (!table.find(name)) continue;
        CrateRunState& state = table.entry(name);
        const int days = OverdueDays(ctx.platform, ctx.ProgramFolder, name);
        if (!IsOverdue(state, now, days)) continue;
        if (overdue) overdue->push_back(name);
        SendAlert(ctx, OverdueAlert(state, now, days), state, days, state, notes);
    }
}

void NoteSave(const RunStateSave& save, const std::string& path, std::vector<std::string>& notes) {
    if (!save.keptCopy.empty())
        notes.push_back("    Note: " + VisibleText(path) + " was damaged (" +
                        VisibleText(save.problem) + "); it was kept as " +
                        VisibleText(save.keptCopy) + " and written afresh.");
    else if (!save.saved)
        notes.push_back("    Note: the run state was not saved: " + VisibleText(save.problem) +
                        ".");
}

std::vector<std::string> CrateNames(const CrateStore& store) {
    std::vector<std::string> names;
    for (short i = 0; i <= store.CrateMax && i <= MaxCrateIndex; ++i) {
        const std::string& name = store.CrateTable[static_cast<std::size_t>(i)].Name;
        if (!name.empty()) names.push_back(name);
    }
    return names;
}

}  // namespace

bool RunRecordedBackup(const JobContext& ctx, const std::function<BackupOutcome()>& backup) {
    ctx.job.RunErrors.clear();
    const CrateRecord* crate = SelectedCrate(ctx);
    if (!crate) return backup() != BackupOutcome::Failed;
    // Copies: the window stays live during the run and may change the table.
    const std::string name = crate->Name;
    const std::string location = crate->BackupLocation;

    CrateRunLock lock(ctx, name);
    if (!lock) return false;
    auto work = std::make_shared<WorkFilesLock>(ctx);
    if (!*work) return false;
    RunFacts run;
    run.crate = name;
    run.started = ctx.platform.now();
    const BackupOutcome outcome = backup();
    if (outcome == BackupOutcome::HandedOver) {
        if (!ctx.job.HeldWorkFiles) ctx.job.HeldWorkFiles = work;
        return true;
    }
    run.ended = ctx.platform.now();
    run.ok = outcome == BackupOutcome::Succeeded;
    if (!run.ok)
        run.error = ctx.job.RunErrors.empty() ? "The backup reported an error; see the run log."
                                              : ctx.job.RunErrors.front();
    run.files = ctx.job.FilesDone > 0 ? static_cast<std::uint64_t>(ctx.job.FilesDone) : 0;
    run.bytes = SelectedBytes(ctx);
    run.archiveBytes = ArchiveBytes(ctx, location);

    std::vector<std::string> notes;
    // The other Crates: this one's own news is its run's.
    std::vector<std::string> others;
    if (ctx.automated)
        for (const std::string& other : CrateNames(ctx.store))
            if (!EqualsIgnoreCase(Trim(other), Trim(name))) others.push_back(other);
    const std::string path = RunStatePath(ctx.platform, ctx.ProgramFolder);
    const RunStateSave save = UpdateRunState(ctx.platform, path, [&](RunStateTable& table) {
        CrateRunState& state = table.entry(name);
        const CrateRunState before = state;
        const AlertKind kind = AlertAfterRun(before, run.ok, ctx.automated);
        ApplyRun(state, run);
        const int days = OverdueDays(ctx.platform, ctx.ProgramFolder, name);
        if (kind == AlertKind::Recovery) {
            // The message counts the streak that just ended.
            CrateRunState ended = before;
            ended.name = name;
            SendAlert(ctx, kind, ended, days, state, notes);
        } else {
            SendAlert(ctx, kind, state, days, state, notes);
        }
        AlertOverdue(ctx, table, others, run.ended, nullptr, notes);
    });
    NoteSave(save, path, notes);
    if (!notes.empty()) AppendToRunLog(ctx, notes);
    return run.ok;
}

std::vector<std::string> CheckOverdueCrates(const JobContext& ctx,
                                            const std::vector<std::string>& crateNames,
                                            std::vector<std::string>& notes, std::string* problem) {
    const std::string path = RunStatePath(ctx.platform, ctx.ProgramFolder);
    const std::time_t now = ctx.platform.now();
    const RunStateParse read = ReadRunState(ctx.platform, path);
    if (problem && !read.problem.empty()) *problem = RunStateProblemText(path, read.problem);
    const RunStateTable& table = read.table;
    std::vector<std::string> overdue;
    bool newlyOverdue = false;
    for (const std::string& name : crateNames) {
        const CrateRunState* state = table.find(name);
        if (!state) continue;
        const int days = OverdueDays(ctx.platform, ctx.ProgramFolder, name);
        if (IsOverdue(*state, now, days)) overdue.push_back(name);
        newlyOverdue = newlyOverdue || OverdueAlert(*state, now, days) == AlertKind::Overdue;
    }
    // Only a Crate that has not had its alert costs a write.
    if (newlyOverdue && ctx.notifier) {
        const RunStateSave save = UpdateRunState(ctx.platform, path, [&](RunStateTable& fresh) {
            AlertOverdue(ctx, fresh, crateNames, now, nullptr, notes);
        });
        NoteSave(save, path, notes);
    }
    return overdue;
}

}  // namespace stowaway
