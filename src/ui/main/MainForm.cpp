#include "ui/main/MainForm.h"

namespace stowaway {

MainForm::MainForm() : Form("FrmMain", "Stowaway", {0, 0, ClientWidth, ClientHeight}) {
    // Only checking a filter box makes its button and boxes usable.
    CmdIncludeExclude.setEnabled(false);
    CmdDateIncludeExclude.setEnabled(false);
    HSlCompression.smallChange = 1;
    HSlCompression.largeChange = 5;
    setVisible(false);
}

std::vector<MainForm::Menu> MainForm::menus() {
    return {
        {&MnuFile, {&MnuFileImportCrate, &MnuFileDash1, &MnuFileViewLog, &MnuFileDash2, &MnuFileExit}},
        {&MnuEdit,
         {&MnuEditAddCrate, &MnuEditRenameCrate, &MnuEditDeleteCrate, &MnuEditBackupCrate,
          &MnuEditRestoreCrate, &MnuEditDash1, &MnuEditAddFolder, &MnuEditAddFile,
          &MnuEditRemoveFolder, &MnuEditRemoveFile, &MnuEditDash3, &MnuEditRefresh}},
        {&MnuAdvanced,
         {&MnuAdvancedLoad, &MnuAdvancedSave, &MnuAdvancedDash1, &MnuAdvancedViewPKZIPOutput,
          &MnuAdvancedDash2, &MnuAdvancedKillHDData}},
        {&MnuTools, {&MnuToolsSchedule, &MnuToolsBrowse, &MnuToolsEncryption}},
        {&MnuHelp, {&MnuHelpContents, &MnuHelpDash1, &MnuHelpAbout}},
    };
}

std::vector<Control*> MainForm::controls() {
    std::vector<Control*> all = {
        &FrmCrates, &SSTMain, &StBMain, &PrBMain, &LstCrate, &CmdBackup, &CmdRestore,
        &CmdDeleteCrate, &CmdRenameCrate, &Label5, &TxtAddCrate, &CmdAddCrate, &TxtDebug,
        &DrvSelect, &DirSelect, &FileSelect, &ChkRecurse, &CmdSelectDir, &CmdDeSelectDir,
        &CmdSelectFile, &CmdDeSelectFile, &LstDir, &LstFile, &ChkIncludeExclude,
        &CmdIncludeExclude, &TxtDirWildcard, &ChkDateIncludeExclude, &CmdDateIncludeExclude,
        &TxtDateIncludeExclude, &TxtDateDirWildcard, &FrmBackupLocation, &Label1,
        &CmdBrowseBackupLoacation, &CmdDeleteBackup, &TxtBackupLocation, &FrmRestore, &Label4,
        &CmdBrowseRestore, &TxtRestoreLocation, &ChkOverwriteOlder, &FrmCompressionLevel,
        &LblCompression, &HSlCompression, &FrmCrateOptions, &ChkUpdateOnly, &ChkMultiDisk,
        &FrmPaths, &Label2, &CmdBrowseLogFile, &TxtLogPath, &Label3, &CmdBrowseTxtViewer,
        &TxtLogViewer, &FrmGeneral, &ChkArgumentEditing, &ChkHideOutput};
    for (Menu& menu : menus()) {
        all.push_back(menu.title);
        all.insert(all.end(), menu.items.begin(), menu.items.end());
    }
    return all;
}

Control* MainForm::find(const std::string& controlName) {
    for (Control* control : controls())
        if (control->name() == controlName) return control;
    return nullptr;
}

void ApplyToolTips(MainForm& f) {
    f.CmdDeleteCrate.setToolTip("Delete Crate");
    f.CmdBackup.setToolTip("Backup Crate");
    f.CmdAddCrate.setToolTip("Add Crate");
    f.CmdRenameCrate.setToolTip("Rename Crate");
    f.CmdRestore.setToolTip("Restores a Crate from a previous backup");
    f.LstCrate.setToolTip("Choose a crate");
    f.TxtAddCrate.setToolTip("Name of the new crate");
    f.CmdSelectDir.setToolTip("Add Folder");
    f.CmdDeSelectDir.setToolTip("Remove Folder");
    f.CmdSelectFile.setToolTip("Add File");
    f.CmdDeSelectFile.setToolTip("Remove File");
    f.DrvSelect.setToolTip("Choose Drive");
    f.DirSelect.setToolTip("Choose Folder to add");
    f.FileSelect.setToolTip("Choose File to add");
    f.LstDir.setToolTip("Selected Folders");
    f.LstFile.setToolTip("Selected Files");
    f.ChkIncludeExclude.setToolTip("Check this to enable Including or Excluding");
    f.CmdIncludeExclude.setToolTip("Click this to toggle Including or Excluding");
    f.TxtDirWildcard.setToolTip("WildCard for Including/Excluding");
    f.ChkDateIncludeExclude.setToolTip("Check this to enable selecting by Date");
    f.CmdDateIncludeExclude.setToolTip("Click this to toggle Before or After Date");
    f.TxtDateIncludeExclude.setToolTip("Date WildCard for Before/After");
    f.StBMain.setToolTip("Status Bar");
    f.PrBMain.setToolTip("Progress Bar");
    f.TxtBackupLocation.setToolTip("ZIP file to which the files will be backed up to");
    f.CmdBrowseBackupLoacation.setToolTip("Browse for Backup Location");
    f.HSlCompression.setToolTip("Amount of Compression. Right is more, left is less");
    f.ChkMultiDisk.setToolTip("Forces Multi-Disk Spanning");
    f.ChkUpdateOnly.setToolTip("Update Files newer files only");
    f.TxtRestoreLocation.setToolTip("Directory to Restore files from a backup into");
    f.CmdBrowseRestore.setToolTip("Browse for Restore Location");
    f.ChkOverwriteOlder.setToolTip("Overwrite Older Files");
    f.CmdDeleteBackup.setToolTip("Delete a previous backup if there is one");
    f.ChkArgumentEditing.setToolTip(
        "Allows user to manually change the command line before backing up");
    f.TxtLogPath.setToolTip("Path for the Log File");
    f.CmdBrowseLogFile.setToolTip("Browse for the Log File");
    f.TxtLogViewer.setToolTip("Path for the Text Viewer to be used for the log file");
    f.CmdBrowseTxtViewer.setToolTip("Browse for the Text Viewer");
    f.ChkHideOutput.setToolTip("Hide the output of PKZIP, should be changed for Argument editing");
}

}  // namespace stowaway
