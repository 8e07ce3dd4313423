#include "ui/main/ControlStates.h"

#include "startup/App.h"

namespace stowaway {

void SetCrateControlsEnabled(App& app, bool enable) {
    MainForm& f = app.FrmMain;
    f.DrvSelect.setEnabled(enable);
    f.DirSelect.setEnabled(enable);
    f.FileSelect.setEnabled(enable);
    f.LstDir.setEnabled(enable);
    f.LstFile.setEnabled(enable);
    f.CmdSelectDir.setEnabled(enable);
    f.CmdSelectFile.setEnabled(enable);
    f.CmdDeSelectDir.setEnabled(enable);
    f.CmdDeSelectFile.setEnabled(enable);
    f.ChkRecurse.setEnabled(enable);
    f.ChkIncludeExclude.setEnabled(enable);
    f.ChkIncludeExclude.setValue(CheckBox::Unchecked);
    f.CmdIncludeExclude.setEnabled(false);
    f.TxtDirWildcard.setEnabled(false);
    f.ChkDateIncludeExclude.setEnabled(enable);
    f.ChkDateIncludeExclude.setValue(CheckBox::Unchecked);
    f.CmdDateIncludeExclude.setEnabled(false);
    f.TxtDateDirWildcard.setEnabled(false);
    f.TxtDateIncludeExclude.setEnabled(false);
    f.HSlCompression.setEnabled(enable);
    f.LblCompression.setEnabled(enable);
    f.TxtBackupLocation.setEnabled(enable);
    f.CmdBrowseBackupLoacation.setEnabled(enable);
    f.ChkMultiDisk.setEnabled(enable);
    f.ChkUpdateOnly.setEnabled(enable);
    f.TxtRestoreLocation.setEnabled(enable);
    f.ChkOverwriteOlder.setEnabled(enable);
    f.ChkArgumentEditing.setEnabled(enable);

    const ColourState colours = enable ? ColourState::Usable : ColourState::Greyed;
    for (Control* c : std::initializer_list<Control*>{&f.DrvSelect, &f.DirSelect, &f.FileSelect,
                                                      &f.LstDir, &f.LstFile})
        c->setColours(colours);
    f.TxtDirWildcard.setColours(ColourState::Greyed);
    f.TxtDateIncludeExclude.setColours(ColourState::Greyed);
    f.TxtDateDirWildcard.setColours(ColourState::Greyed);
    f.TxtBackupLocation.setColours(colours);
    f.TxtRestoreLocation.setColours(colours);
}

}  // namespace stowaway
