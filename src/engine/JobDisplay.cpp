#include "engine/JobDisplay.h"

#include <iostream>

#include "startup/App.h"

namespace stowaway {

void ShowJobStatus(App& app, const std::string& text) {
    if (!app.AbuMode) {
        app.FrmMain.StBMain.setPanelText(text);
        return;
    }
    app.FrmABU.StBMain.setPanelText(text);
    // Without a shown window (no display) an unattended run still tells its progress.
    if (!app.FrmABU.visible()) std::cerr << "Stowaway ABU: " << text << std::endl;
}

ProgressBar& JobProgress(App& app) {
    return app.AbuMode ? app.FrmABU.PrBMain : app.FrmMain.PrBMain;
}

void SetJobBusy(App& app, bool busy) {
    if (!app.AbuMode) app.ui.setBusyPointer(busy);
}

}  // namespace stowaway
