#include "ui/dialogs/ArgumentDialog.h"

#include "engine/JobGuard.h"
#include "engine/RecordedBackup.h"
#include "engine/Runner.h"
#include "startup/App.h"

namespace stowaway {

namespace {

void Connect(App& app) {
    ArgumentForm& d = app.FrmArgument;
    d.CmdOKBackup.onClick = [&app] { ArgumentBackupClick(app); };
    d.CmdCancelBackup.onClick = [&app] { ArgumentCancelClick(app); };
    d.onUnload = [&app] { UnloadArgumentEditor(app); };
}

void ForgetLine(App& app) {
    app.job.ArchiverCommand.clear();
    app.job.ArchiverTail.clear();
    app.job.HeldWorkFiles.reset();
}

}  // namespace

void ShowArgumentEditor(App& app) {
    ArgumentForm& d = app.FrmArgument;
    if (!d.loaded) {
        Connect(app);
        d.loaded = true;
    }
    // The line exactly as a run without the dialog would write it.
    d.TxtArgumentLine.setText(ArchiverLine(app.jobContext()));
    d.show();
}

void ArgumentBackupClick(App& app) {
    const JobContext ctx = app.jobContext();
    JobGuard guard(ctx);
    if (!guard) return;  // another run holds the archiver; the status bar says so
    // A copy: the box stays editable while the archiver runs.
    const std::string line = app.FrmArgument.TxtArgumentLine.text();
    const bool ok = RunRecordedBackup(ctx, [&] {
        return RunArchiverInJob(ctx, app.job.BatchPath, app.job.OutputPath, JobKind::Backup, &line)
                   ? BackupOutcome::Succeeded
                   : BackupOutcome::Failed;
    });
    MainForm& f = app.FrmMain;
    f.StBMain.setPanelText(ok ? "Backup Complete"
                              : "There was an Error in the Backup. See the PkZip Output log for "
                                "details.");
    f.PrBMain.setValue(0);
}

void ArgumentCancelClick(App& app) {
    ForgetLine(app);
    app.FrmArgument.hide();
}

void UnloadArgumentEditor(App& app) {
    ForgetLine(app);
    app.FrmArgument.hide();
    app.FrmArgument.loaded = false;
}

}  // namespace stowaway
