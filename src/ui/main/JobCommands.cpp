#include "ui/main/JobCommands.h"

#include "engine/BackupJob.h"
#include "engine/ImportJob.h"
#include "engine/JobGuard.h"
#include "engine/RecordedBackup.h"
#include "engine/RestoreJob.h"
#include "engine/Runner.h"
#include "platform/Text.h"
#include "startup/App.h"
#include "ui/dialogs/ArgumentDialog.h"
#include "ui/editor/CrateEditing.h"
#include "ui/main/ControlStates.h"

namespace stowaway {

bool BackupSelectedCrate(App& app) {
    const JobContext ctx = app.jobContext();
    JobGuard guard(ctx);
    if (!guard) return false;
    ctx.display.setBusy(true);
    BeginBackup(ctx);
    if (!app.AbuMode) StoreCurrentCrate(app);
    const bool ok = RunRecordedBackup(ctx, [&] {
        if (!PrepareBackup(ctx)) return BackupOutcome::Failed;
        if (!app.AbuMode && app.FrmMain.ChkArgumentEditing.value() == CheckBox::Checked) {
            ShowArgumentEditor(app);
            return BackupOutcome::HandedOver;
        }
        return RunPreparedBackup(ctx) ? BackupOutcome::Succeeded : BackupOutcome::Failed;
    });
    ctx.display.setBusy(false);
    return ok;
}

void BackupCrate(App& app) {
    BackupSelectedCrate(app);
}

void RestoreCrate(App& app) {
    const MainForm& f = app.FrmMain;
    // The archive shown in the window is the one restored, as a backup uses it.
    if (!app.job.Running) StoreCurrentCrate(app);
    RestoreCrate(app.jobContext(), f.TxtRestoreLocation.text(),
                 f.ChkOverwriteOlder.value() == CheckBox::Checked);
}

void DeletePreviousBackup(App& app) {
    DeletePreviousBackup(app.jobContext());
}

void ImportCrate(App& app, const std::string& path) {
    const JobContext ctx = app.jobContext();
    JobGuard guard(ctx);
    if (!guard) return;
    if (!ReadArchiveHeaderInJob(ctx, path)) return;
    CrateStore& store = app.store;
    MainForm& f = app.FrmMain;
    const CrateRecord& in = store.ImportRecord;
    app.ui.setBusyPointer(true);
    app.ListUpdating = true;
    bool duplicate = false;
    for (const std::string& name : f.LstCrate.items())
        duplicate = duplicate || EqualsIgnoreCase(name, in.Name);
    if (f.LstCrate.count() >= CrateSlots) {
        // A full table: nothing is added.
    } else if (duplicate) {
        app.ui.messageBox("The Crate titled " + in.Name +
                              " already exists. Stowaway cannot continue importing the data",
                          "Error", MsgButtons::OK, MsgIcon::Exclamation);
        ctx.display.showStatus("Failed to add Crate Data");
    } else {
        store.CrateMax = static_cast<short>(f.LstCrate.count() - 1);
        store.CurrentIndex = static_cast<short>(store.CrateMax + 1);
        CrateRecord& slot = store.CrateTable[static_cast<std::size_t>(store.CurrentIndex)];
        slot = in;
        f.LstCrate.addItem(in.Name);
        store.CrateMax = store.CurrentIndex;
        f.LstCrate.setListIndex(store.CurrentIndex);
        ShowCurrentCrate(app);
        // An empty list left the controls off; the new Crate is edited at once.
        SetCrateControlsEnabled(app, true);
        f.HSlCompression.setValue(in.Compression);
        ctx.display.showStatus("Added Crate Data Successfully");
    }
    app.ListUpdating = false;
    app.ui.setBusyPointer(false);
}

void ViewLog(App& app) {
    ViewLog(app.jobContext());
}

void ViewArchiverOutput(App& app) {
    ViewArchiverOutput(app.jobContext());
}

}  // namespace stowaway
