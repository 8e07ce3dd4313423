#include "engine/RestoreJob.h"

#include "engine/ArchiverCommands.h"
#include "engine/FileWalk.h"
#include "engine/JobContext.h"
#include "engine/JobGuard.h"
#include "engine/Runner.h"
#include "engine/WorkFiles.h"
#include "engine/WorkFilesLock.h"
#include "engine/encryption/CratePassword.h"
#include "platform/Text.h"

namespace stowaway {

namespace {

constexpr const char* AbortedText = "Restore Aborted";

void RunRestore(const JobContext& ctx, const CrateRecord& crate, const std::string& typedTarget,
                bool overwriteOlder) {
    JobState& job = ctx.job;
    ctx.display.showStatus("Initializing...");
    const WorkFiles files = WorkFilePaths(ctx);
    job.BatchPath = files.batch;
    job.OutputPath = files.output;
    if (!EmptyWorkFiles(ctx, {files.batch, files.list, files.output})) {
        ctx.display.showStatus(AbortedText);
        return;
    }
    const std::string target = Trim(typedTarget);
    if (target.empty()) {
        ctx.ui.messageBox("Type the folder to restore into as the Restore Location first.", "Error",
                          MsgButtons::OK, MsgIcon::Exclamation);
        ctx.display.showStatus(AbortedText);
        return;
    }
    if (!CheckBatchPath(ctx, ctx.ProgramFolder) || !CheckBatchPath(ctx, crate.BackupLocation) ||
        !CheckBatchPath(ctx, target)) {
        ctx.display.showStatus(AbortedText);
        return;
    }
    if (ctx.ui.messageBox("You are about to restore the crate " + crate.Name + " to " + target +
                              ". Are you sure this is right?",
                          "Confirmation of Restore", MsgButtons::OKCancel,
                          MsgIcon::Information) != MsgResult::OK) {
        ctx.ui.messageBox("Restore Aborted.", "Confirmation of Restore", MsgButtons::OK,
                          MsgIcon::Information);
        ctx.display.showStatus(AbortedText);
        return;
    }
    job.ArchiverCommand = ComposeRestoreCommand(ctx, crate.BackupLocation, target, overwriteOlder);
    if (!PrepareReadPassword(ctx, crate.BackupLocation, crate.Name)) {
        ctx.display.showStatus(AbortedText);
        return;
    }
    if (!job.Password.empty()) job.ArchiverCommand += " " + PasswordOption();
    // The count of files now on disk that the Crate selects, for the log and the bar.
    for (int j = 0; j < crate.FolderMax; ++j)
        WalkFolderRule(ctx, CrateRecord::Entry(crate.Folders, j), false, nullptr);
    if (crate.FileMax > 0) job.FilesToDo += crate.FileMax;
    // The whole archive is extracted whatever the walk met: its errors only touch the count.
    job.WalkErrors.clear();
    job.WalkFailed = false;
    job.ArchiverTail = ComposeRestoreTail(files, ctx.outputCaptured());

    const bool ok = RunArchiverInJob(ctx, files.batch, files.output, JobKind::Restore);
    ctx.display.showStatus(ok ? "Restore Complete"
                              : "There was an Error in the Restore. See the PkZip Output log for "
                                "details.");
    ctx.display.setProgress(0);
}

}  // namespace

void RestoreCrate(const JobContext& ctx, const std::string& typedTarget, bool overwriteOlder) {
    const short slot = ctx.store.CurrentIndex;
    if (slot < 0 || slot > MaxCrateIndex) return;
    if (ctx.store.CrateTable[static_cast<std::size_t>(slot)].Name.empty()) return;
    JobGuard guard(ctx);
    if (!guard) return;
    WorkFilesLock work(ctx);
    if (!work) return;
    JobState& job = ctx.job;
    job.startNew();
    ctx.display.setBusy(true);
    // A copy: the window stays live during the count and the run.
    const CrateRecord crate = ctx.store.CrateTable[static_cast<std::size_t>(slot)];
    RunRestore(ctx, crate, typedTarget, overwriteOlder);
    ctx.display.setBusy(false);
}

}  // namespace stowaway
