#include "ui/main/Commands.h"

#include <string>

#include "startup/App.h"
#include "ui/browse/BrowseCommands.h"
#include "ui/editor/CrateEditing.h"
#include "ui/editor/CrateList.h"
#include "ui/editor/SelectionEditing.h"
#include "ui/editor/TextRules.h"
#include "ui/encryption/EncryptionCommands.h"
#include "ui/main/About.h"
#include "ui/main/BrowseDialogs.h"
#include "ui/main/Browsing.h"
#include "ui/main/Compression.h"
#include "ui/main/DataFileCommands.h"
#include "ui/main/Filters.h"
#include "ui/main/Help.h"
#include "ui/main/JobCommands.h"
#include "ui/main/Locations.h"
#include "ui/main/OutputCoupling.h"
#include "ui/main/Saving.h"
#include "ui/schedule/ScheduleCommands.h"

namespace stowaway {

namespace {

// A box whose text goes into the data file: a double quote is refused as it is
// entered and the box goes back to its last accepted text. `then` runs for every
// accepted change.
void RefuseQuotesIn(App& app, TextBox& box, std::string what, Handler then = {}) {
    box.onChange = [&app, &box, what = std::move(what), then = std::move(then),
                    accepted = box.text()]() mutable {
        if (RefuseDoubleQuote(app, box.text(), what)) {
            box.setText(accepted);
            return;
        }
        accepted = box.text();
        Fire(then);
    };
}

}  // namespace

void ConnectMainForm(App& app) {
    MainForm& f = app.FrmMain;
    App* a = &app;

    // Crates.
    f.LstCrate.onClick = [a] { SelectCrate(*a); };
    f.CmdAddCrate.onClick =
        f.MnuEditAddCrate.onClick = [a] { AddCrate(*a, a->FrmMain.TxtAddCrate.text()); };
    f.CmdRenameCrate.onClick = f.MnuEditRenameCrate.onClick = [a] { RenameCrate(*a); };
    f.CmdDeleteCrate.onClick = f.MnuEditDeleteCrate.onClick = [a] { DeleteCrate(*a); };
    f.CmdBackup.onClick = f.MnuEditBackupCrate.onClick = [a] { BackupCrate(*a); };
    f.CmdRestore.onClick = f.MnuEditRestoreCrate.onClick = [a] { RestoreCrate(*a); };
    f.CmdDeleteBackup.onClick = [a] { DeletePreviousBackup(*a); };

    // Folder and file selections.
    f.CmdSelectDir.onClick = f.MnuEditAddFolder.onClick = [a] { AddSelectedFolder(*a); };
    f.CmdDeSelectDir.onClick = f.MnuEditRemoveFolder.onClick =
        f.LstDir.onDoubleClick = [a] { RemoveSelectedFolders(*a); };
    f.CmdSelectFile.onClick = f.MnuEditAddFile.onClick =
        f.FileSelect.onDoubleClick = [a] { AddSelectedFiles(*a); };
    f.CmdDeSelectFile.onClick = f.MnuEditRemoveFile.onClick =
        f.LstFile.onDoubleClick = [a] { RemoveSelectedFiles(*a); };

    // The folder options.
    f.ChkIncludeExclude.onClick = [a] { IncludeExcludeClicked(*a); };
    f.ChkDateIncludeExclude.onClick = [a] { DateIncludeExcludeClicked(*a); };
    f.CmdIncludeExclude.onClick = [a] { ToggleIncludeMode(*a); };
    f.CmdDateIncludeExclude.onClick = [a] { ToggleAfterMode(*a); };
    RefuseQuotesIn(app, f.TxtDirWildcard, "A wildcard");
    RefuseQuotesIn(app, f.TxtDateDirWildcard, "A wildcard");
    RefuseQuotesIn(app, f.TxtDateIncludeExclude, "A date");

    // Browsing.
    f.DrvSelect.onChange = [a] { DriveChanged(*a); };
    f.DirSelect.onChange = [a] { FolderChanged(*a); };
    f.MnuEditRefresh.onClick = [a] { RefreshBrowsing(*a); };

    // Crate options.
    RefuseQuotesIn(app, f.TxtBackupLocation, "A backup location",
                   [a] { BackupLocationDefault(*a); });
    RefuseQuotesIn(app, f.TxtRestoreLocation, "A restore location",
                   [a] { RestoreLocationDefault(*a); });
    f.CmdBrowseBackupLoacation.onClick = [a] { BrowseBackupLocation(*a); };
    f.CmdBrowseBackupLoacation.onLostFocus = [a] { NormaliseBackupLocation(*a); };
    f.CmdBrowseRestore.onClick = [a] { BrowseRestoreLocation(*a); };
    f.HSlCompression.onChange = [a] { CompressionChanged(*a); };
    f.ChkMultiDisk.onClick =
        f.ChkMultiDisk.onMouseMove = [a] { CoupleHideOutput(*a, a->FrmMain.ChkMultiDisk); };

    // Program options.
    RefuseQuotesIn(app, f.TxtLogPath, "The log file path");
    RefuseQuotesIn(app, f.TxtLogViewer, "The text viewer path");
    f.CmdBrowseLogFile.onClick = [a] { BrowseLogFile(*a); };
    f.CmdBrowseTxtViewer.onClick = [a] { BrowseTextViewer(*a); };
    f.ChkArgumentEditing.onClick = [a] { CoupleHideOutput(*a, a->FrmMain.ChkArgumentEditing); };

    // The window.
    f.SSTMain.onClick = [a](int previousTab) { TabClicked(*a, previousTab); };
    f.TxtDebug.onDoubleClick = [a] { a->FrmMain.TxtDebug.setText(""); };
    f.onClose = [a] { MainWindowClosed(*a); };

    // Menus.
    f.MnuFileImportCrate.onClick = [a] { ImportCrateCommand(*a); };
    f.MnuFileViewLog.onClick = [a] { ViewLog(*a); };
    f.MnuFileExit.onClick = [a] { ExitProgram(*a); };
    f.MnuAdvancedLoad.onClick = [a] { MnuAdvancedLoad(*a); };
    f.MnuAdvancedSave.onClick = [a] { CommitAndSave(*a); };
    f.MnuAdvancedViewPKZIPOutput.onClick = [a] { ViewArchiverOutput(*a); };
    f.MnuAdvancedKillHDData.onClick = [a] { ClearCrateData(*a); };
    f.MnuToolsSchedule.onClick = [a] { OpenScheduleDialog(*a); };
    ConnectScheduleForm(app);
    f.MnuToolsBrowse.onClick = [a] { OpenBrowseDialog(*a); };
    ConnectBrowseForm(app);
    f.MnuToolsEncryption.onClick = [a] { OpenEncryptionDialog(*a); };
    ConnectEncryptionForm(app);
    f.MnuHelpContents.onClick = [a] { ShowHelp(*a); };
    f.MnuHelpAbout.onClick = [a] { ShowAbout(*a); };
}

}  // namespace stowaway
