#include "engine/RestoreJob.h"

#include "engine/ArchiverCommands.h"
#include "engine/FileWalk.h"
#include "engine/JobDisplay.h"
#include "engine/JobGuard.h"
#include "engine/Runner.h"
#include "engine/WorkFiles.h"
#include "platform/Text.h"
#include "startup/App.h"

namespace stowaway {

namespace {

constexpr const char* AbortedText = "Restore Aborted";

void RunRestore(App& app, const CrateRecord& crate) {
    JobState& job = app.job;
    MainForm& f = app.FrmMain;
    ShowJobStatus(app, "Initializing...");
    const WorkFiles files = WorkFilePaths(app);
    job.BatchPath = files.batch;
    job.OutputPath = files.output;
    if (!EmptyWorkFiles(app, {files.batch, files.list, files.output})) {
        ShowJobStatus(app, AbortedText);
        return;
    }
    const std::string target = Trim(f.TxtRestoreLocation.text());
    if (target.empty()) {
        app.ui.messageBox("Type the folder to restore into as the Restore Location first.", "Error",
                          MsgButtons::OK, MsgIcon::Exclamation);
        ShowJobStatus(app, AbortedText);
        return;
    }
    if (!CheckBatchPath(app, app.ProgramFolder) || !CheckBatchPath(app, crate.BackupLocation) ||
        !CheckBatchPath(app, target)) {
        ShowJobStatus(app, AbortedText);
        return;
    }
    if (app.ui.messageBox("You are about to restore the crate " + crate.Name + " to " + target +
                              ". Are you sure this is right?",
                          "Confirmation of Restore", MsgButtons::OKCancel,
                          MsgIcon::Information) != MsgResult::OK) {
        app.ui.messageBox("Restore Aborted.", "Confirmation of Restore", MsgButtons::OK,
                          MsgIcon::Information);
        ShowJobStatus(app, AbortedText);
        return;
    }
    job.ArchiverCommand = ComposeRestoreCommand(app, crate.BackupLocation, target,
                                                f.ChkOverwriteOlder.value() == CheckBox::Checked);
    // The count of files now on disk that the Crate selects, for the log and the bar.
    for (int j = 0; j < crate.FolderMax; ++j)
        WalkFolderRule(app, CrateRecord::Entry(crate.Folders, j), false, nullptr);
    if (crate.FileMax > 0) job.FilesToDo += crate.FileMax;
    // The whole archive is extracted whatever the walk met: its errors only touch the count.
    job.WalkErrors.clear();
    job.WalkFailed = false;
    job.ArchiverTail = ComposeRestoreTail(files, f.ChkHideOutput.value() == CheckBox::Checked);

    const bool ok = RunArchiverInJob(app, files.batch, files.output, JobKind::Restore);
    ShowJobStatus(app, ok ? "Restore Complete"
                          : "There was an Error in the Restore. See the PkZip Output log for "
                            "details.");
    JobProgress(app).setValue(0);
}

}  // namespace

void RestoreCrate(App& app) {
    const short slot = app.store.CurrentIndex;
    if (slot < 0 || slot > MaxCrateIndex) return;
    if (app.store.CrateTable[static_cast<std::size_t>(slot)].Name.empty()) return;
    JobGuard guard(app);
    if (!guard) return;
    JobState& job = app.job;
    job.startNew();
    SetJobBusy(app, true);
    // A copy: the window stays live during the count and the run.
    const CrateRecord crate = app.store.CrateTable[static_cast<std::size_t>(slot)];
    RunRestore(app, crate);
    SetJobBusy(app, false);
}

}  // namespace stowaway
