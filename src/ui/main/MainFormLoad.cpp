#include "ui/main/MainFormLoad.h"

#include "startup/App.h"

namespace stowaway {

void LoadMainForm(App& app) {
    MainForm& f = app.FrmMain;
    f.SSTMain.setTab(0);
    f.TxtDateIncludeExclude.setText(app.platform.shortDate(app.platform.now()));
    f.DrvSelect.setDrives(app.platform.drives());
    const std::string root = app.style().rootOf(app.ProgramFolder);
    f.DrvSelect.setDrive(root);
    f.DirSelect.setPath(root);
    // The status panel ends where the progress bar, laid over the bar's right end, begins.
    const int barLeft = MainForm::ClientWidth - f.PrBMain.place().width;
    f.StBMain.setPanelWidth(barLeft);
    f.StBMain.setPanelText(LoadedStatusText);
}

}  // namespace stowaway
