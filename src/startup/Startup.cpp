#include "startup/Startup.h"

#include "startup/App.h"
#include "ui/main/Commands.h"
#include "ui/main/ControlStates.h"
#include "ui/main/DataFileCommands.h"
#include "ui/main/MainFormLoad.h"

namespace stowaway {

void InitStartup(App& app, short stage) {
    if (stage == 0) {
        app.store.CurrentIndex = -1;
        app.store.CrateMax = -1;
        app.ListUpdating = false;
        app.AbuMode = false;
        app.IncludeMode = true;
        app.AfterMode = true;
        // The Windows folder as the system reports it, at most 256 characters.
        app.WindowsDir = app.platform.windowsDir().substr(0, 256);
        app.DataFilePath = app.style().join(app.ProgramFolder, "Stowaway.dat");
        SetCrateControlsEnabled(app, false);
        ApplyToolTips(app.FrmMain);
    } else if (stage == 1) {
        if (app.FrmMain.LstCrate.count() > 0) app.FrmMain.LstCrate.setListIndex(0);
    }
}

void RunInteractiveStartup(App& app) {
    ConnectMainForm(app);
    LoadMainForm(app);
    app.FrmMain.show();
    // The window is on the screen before the data file is read, so that a message
    // about the file stands over it.
    app.ui.processEvents();
    InitStartup(app, 0);
    LoadDataFile(app);
    InitStartup(app, 1);
}

}  // namespace stowaway
