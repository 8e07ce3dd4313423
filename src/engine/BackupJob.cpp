#include "engine/BackupJob.h"

#include <fstream>

#include "engine/ArchiverCommands.h"
#include "engine/FileWalk.h"
#include "engine/JobContext.h"
#include "engine/JobGuard.h"
#include "engine/Runner.h"
#include "engine/WorkFiles.h"
#include "engine/encryption/CratePassword.h"
#include "engine/versions/KeepStep.h"
#include "platform/NativeText.h"
#include "platform/VisibleText.h"
#include "store/ArchiveHeader.h"

namespace stowaway {

namespace {

constexpr const char* NotStartedText = "Backup Not Started";

// The slot of the selected Crate, or -1 when none is selected.
short SelectedSlot(const JobContext& ctx) {
    short slot = ctx.store.CurrentIndex;
    if (slot < 0 || slot > MaxCrateIndex) return -1;
    return ctx.store.CrateTable[static_cast<std::size_t>(slot)].Name.empty() ? short(-1) : slot;
}

// Writes the list file: every folder rule's selection, then the single files.
bool WriteListFile(const JobContext& ctx, const CrateRecord& crate, const std::string& listPath) {
    std::ofstream list(toPath(ctx.platform.native(listPath)), std::ios::binary | std::ios::trunc);
    for (int j = 0; j < crate.FolderMax; ++j)
        WalkFolderRule(ctx, CrateRecord::Entry(crate.Folders, j), true, &list);
    for (int j = 0; j < crate.FileMax; ++j) {
        const std::string& file = CrateRecord::Entry(crate.Files, j);
        if (HoldsLineBreak(file) || HoldsNul(file)) {
            AddWalkError(ctx, "The file " + VisibleText(file) +
                                  " holds a line break or NUL character, which the list file "
                                  "cannot carry; it was left out.");
            continue;
        }
        list << file << "\r\n";
        ++ctx.job.FilesToDo;
    }
    list.flush();
    return static_cast<bool>(list);
}

}  // namespace

void BeginBackup(const JobContext& ctx) {
    ctx.job.startNew();
    ctx.display.showStatus("Initalizing...");
}

bool PrepareBackup(const JobContext& ctx) {
    JobState& job = ctx.job;
    const short slot = SelectedSlot(ctx);
    if (slot < 0) {
        ctx.display.showStatus("Please select a crate before backing up.");
        return false;
    }
    // A copy: the window stays live during the walk and may change the table.
    const CrateRecord crate = ctx.store.CrateTable[static_cast<std::size_t>(slot)];

    const WorkFiles files = WorkFilePaths(ctx);
    job.BatchPath = files.batch;
    job.OutputPath = files.output;
    if (!CheckBatchPath(ctx, ctx.ProgramFolder) || !CheckBatchPath(ctx, crate.BackupLocation) ||
        !EmptyWorkFiles(ctx, {files.batch, files.header, files.list, files.output})) {
        ctx.display.showStatus(NotStartedText);
        return false;
    }
    if (!WriteArchiveHeader(ctx.platform, crate, files.header)) {
        ReportWorkFileFailure(ctx, files.header);
        ctx.display.showStatus(NotStartedText);
        return false;
    }
    job.ArchiverCommand = ComposeBackupCommand(ctx, crate, files);
    if (!PrepareBackupPassword(ctx, crate.Name)) {
        ctx.display.showStatus(NotStartedText);
        return false;
    }
    if (!WriteListFile(ctx, crate, files.list)) {
        ReportWorkFileFailure(ctx, files.list);
        ctx.display.showStatus(NotStartedText);
        return false;
    }
    job.ArchiverTail = ComposeBackupTail(files, ctx.outputCaptured());
    ctx.display.showStatus("Starting...");
    return true;
}

bool RunPreparedBackup(const JobContext& ctx) {
    KeepRun keep;
    if (const short slot = SelectedSlot(ctx); slot >= 0) {
        const CrateRecord& crate = ctx.store.CrateTable[static_cast<std::size_t>(slot)];
        keep = BeginKeeping(ctx, crate.Name, crate.BackupLocation);
    }
    const bool ok = RunArchiverInJob(ctx, ctx.job.BatchPath, ctx.job.OutputPath, JobKind::Backup);
    FinishKeeping(ctx, keep, ok);
    ctx.display.showStatus(ok ? "Backup Complete" : BackupErrorText);
    ctx.display.setProgress(0);
    return ok;
}

bool RunBackup(const JobContext& ctx) {
    JobGuard guard(ctx);
    if (!guard) return false;
    ctx.display.setBusy(true);
    BeginBackup(ctx);
    const bool ok = PrepareBackup(ctx) && RunPreparedBackup(ctx);
    ctx.display.setBusy(false);
    return ok;
}

void DeletePreviousBackup(const JobContext& ctx) {
    const short slot = SelectedSlot(ctx);
    if (slot < 0) return;
    JobGuard guard(ctx);
    if (!guard) return;
    const CrateRecord& crate = ctx.store.CrateTable[static_cast<std::size_t>(slot)];
    const std::string location = crate.BackupLocation;
    if (ctx.ui.messageBox("Are you sure you wish to attempt to delete a previous backup of " +
                              crate.Name + " backed up at " + location + "?",
                          "Confirmation", MsgButtons::OKCancel, MsgIcon::Question) != MsgResult::OK)
        return;
    if (ctx.platform.removeFile(location)) {
        ctx.ui.messageBox("Previous backup at " + location + " was deleted.",
                          "Previous Backup Deleted", MsgButtons::OK, MsgIcon::Information);
    } else {
        ctx.ui.messageBox("No previous backup was found at " + location + ". Nothing was done.",
                          "Error", MsgButtons::OK, MsgIcon::Exclamation);
    }
}

}  // namespace stowaway
