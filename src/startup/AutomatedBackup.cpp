#include "startup/AutomatedBackup.h"

#include "platform/Text.h"
#include "startup/App.h"
#include "ui/main/DataFileCommands.h"
#include "ui/main/JobCommands.h"

namespace stowaway {

int RunAutomatedBackup(App& app) {
    AbuForm& form = app.FrmABU;
    // The status panel fills the bar: the window's width less 15 twips.
    form.StBMain.setPanelWidth(form.place().width - 1);
    app.DataFilePath = app.style().join(app.ProgramFolder, "Stowaway.dat");
    LoadDataFile(app);

    const std::string wanted = ToLower(Trim(app.AbuCrateName));
    CrateStore& store = app.store;
    for (short i = 0; i <= store.CrateMax; ++i) {
        const std::string& name = store.CrateTable[static_cast<std::size_t>(i)].Name;
        // Every slot is compared: with equal names the last one wins. The command
        // line comes lower-cased, so both are lowered before folding ("İ" lowers
        // to "i" but folds to itself).
        if (!name.empty() && EqualsIgnoreCase(ToLower(Trim(name)), wanted)) {
            app.AbuMode = true;
            store.CurrentIndex = i;
        }
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
