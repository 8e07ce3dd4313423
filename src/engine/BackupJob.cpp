#include "engine/BackupJob.h"

#include <fstream>

#include "engine/ArchiverCommands.h"
#include "engine/FileWalk.h"
#include "engine/JobDisplay.h"
#include "engine/JobGuard.h"
#include "engine/Runner.h"
#include "engine/WorkFiles.h"
#include "platform/VisibleText.h"
#include "startup/App.h"
#include "store/ArchiveHeader.h"
#include "ui/dialogs/ArgumentDialog.h"
#include "ui/editor/CrateEditing.h"

namespace stowaway {

namespace {

constexpr const char* NotStartedText = "Backup Not Started";

// The slot of the selected Crate, or -1 when none is selected.
short SelectedSlot(const App& app) {
    short slot = app.store.CurrentIndex;
    if (slot < 0 || slot > MaxCrateIndex) return -1;
    return app.store.CrateTable[static_cast<std::size_t>(slot)].Name.empty() ? short(-1) : slot;
}

// Writes the list file: every folder rule's selection, then the single files.
bool WriteListFile(App& app, const CrateRecord& crate, const std::string& listPath) {
    std::ofstream list(app.platform.native(listPath), std::ios::binary | std::ios::trunc);
    for (int j = 0; j < crate.FolderMax; ++j)
        WalkFolderRule(app, CrateRecord::Entry(crate.Folders, j), true, &list);
    for (int j = 0; j < crate.FileMax; ++j) {
        const std::string& file = CrateRecord::Entry(crate.Files, j);
        if (HoldsLineBreak(file) || HoldsNul(file)) {
            AddWalkError(app, "The file " + VisibleText(file) +
                                  " holds a line break or NUL character, which the list file "
                                  "cannot carry; it was left out.");
            continue;
        }
        list << file << "\r\n";
        ++app.job.FilesToDo;
    }
    list.flush();
    return static_cast<bool>(list);
}

bool RunBackup(App& app) {
    JobState& job = app.job;
    job.startNew();
    ShowJobStatus(app, "Initalizing...");
    if (!app.AbuMode) StoreCurrentCrate(app);
    const short slot = SelectedSlot(app);
    if (slot < 0) {
        ShowJobStatus(app, "Please select a crate before backing up.");
        return false;
    }
    // A copy: the window stays live during the walk and may change the table.
    const CrateRecord crate = app.store.CrateTable[static_cast<std::size_t>(slot)];

    const WorkFiles files = WorkFilePaths(app);
    job.BatchPath = files.batch;
    job.OutputPath = files.output;
    if (!CheckBatchPath(app, app.ProgramFolder) || !CheckBatchPath(app, crate.BackupLocation) ||
        !EmptyWorkFiles(app, {files.batch, files.header, files.list, files.output})) {
        ShowJobStatus(app, NotStartedText);
        return false;
    }
    if (!WriteArchiveHeader(app, slot, files.header)) {
        ReportWorkFileFailure(app, files.header);
        ShowJobStatus(app, NotStartedText);
        return false;
    }
    job.ArchiverCommand = ComposeBackupCommand(app, crate, files);
    if (!WriteListFile(app, crate, files.list)) {
        ReportWorkFileFailure(app, files.list);
        ShowJobStatus(app, NotStartedText);
        return false;
    }
    const bool captured = app.AbuMode || app.FrmMain.ChkHideOutput.value() == CheckBox::Checked;
    job.ArchiverTail = ComposeBackupTail(files, captured);
    ShowJobStatus(app, "Starting...");

    if (!app.AbuMode && app.FrmMain.ChkArgumentEditing.value() == CheckBox::Checked) {
        ShowArgumentEditor(app);
        return true;
    }
    const bool ok = RunArchiverInJob(app, files.batch, files.output, JobKind::Backup);
    ShowJobStatus(app, ok ? "Backup Complete" : BackupErrorText);
    JobProgress(app).setValue(0);
    return ok;
}

}  // namespace

bool BackupSelectedCrate(App& app) {
    JobGuard guard(app);
    if (!guard) return false;
    SetJobBusy(app, true);
    const bool ok = RunBackup(app);
    SetJobBusy(app, false);
    return ok;
}

void BackupCrate(App& app) {
    BackupSelectedCrate(app);
}

void DeletePreviousBackup(App& app) {
    const short slot = SelectedSlot(app);
    if (slot < 0) return;
    JobGuard guard(app);
    if (!guard) return;
    const CrateRecord& crate = app.store.CrateTable[static_cast<std::size_t>(slot)];
    const std::string location = crate.BackupLocation;
    if (app.ui.messageBox("Are you sure you wish to attempt to delete a previous backup of " +
                              crate.Name + " backed up at " + location + "?",
                          "Confirmation", MsgButtons::OKCancel, MsgIcon::Question) != MsgResult::OK)
        return;
    if (app.platform.removeFile(location)) {
        app.ui.messageBox("Previous backup at " + location + " was deleted.",
                          "Previous Backup Deleted", MsgButtons::OK, MsgIcon::Information);
    } else {
        app.ui.messageBox("No previous backup was found at " + location + ". Nothing was done.",
                          "Error", MsgButtons::OK, MsgIcon::Exclamation);
    }
}

}  // namespace stowaway
