#include "ui/main/Saving.h"

#include "startup/App.h"
#include "ui/editor/CrateEditing.h"
#include "ui/main/DataFileCommands.h"

namespace stowaway {

void CommitAndSave(App& app) {
    StoreCurrentCrate(app);
    SaveDataFile(app);
}

void ExitProgram(App& app) {
    CommitAndSave(app);
    app.FrmMain.ExitRequested = true;
    Fire(app.FrmMain.onExit);
}

void MainWindowClosed(App& app) {
    if (!app.FrmMain.ExitRequested) CommitAndSave(app);
}

void TabClicked(App& app, int previousTab) {
    if (app.FrmMain.SSTMain.tab() != previousTab) StoreCurrentCrate(app);
}

}  // namespace stowaway
