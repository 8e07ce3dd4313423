#include "startup/AutomatedBackup.h"

#include "startup/App.h"
#include "startup/CrateLookup.h"
#include "ui/main/JobCommands.h"

namespace stowaway {

int RunAutomatedBackup(App& app) {
    AbuForm& form = app.FrmABU;
    // The status panel fills the bar: the window's width less 15 twips.
    form.StBMain.setPanelWidth(form.place().width - 1);
    const short slot = LoadAndFindCrate(app, app.AbuCrateName);
    if (slot >= 0) {
        app.AbuMode = true;
        app.store.CurrentIndex = slot;
    }
    if (!app.AbuMode) {
        app.ui.messageBox("Stowaway ABU was unable to find the crate titled \"" + app.AbuCrateName +
                              "\". Stowaway ABU cannot continue.",
                          "Error", MsgButtons::OK, MsgIcon::Critical);
        return 1;
    }
    return BackupSelectedCrate(app) ? 0 : 1;
}

}  // namespace stowaway
