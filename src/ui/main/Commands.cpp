#include "ui/main/Commands.h"

#include "startup/App.h"
#include "store/DataFile.h"
#include "ui/editor/CrateEditing.h"

namespace stowaway {

void ConnectMainForm(App& app) {
    MainForm& f = app.FrmMain;
    f.LstCrate.onClick = [&app] { SelectCrate(app); };
    f.MnuAdvancedLoad.onClick = [&app] { MnuAdvancedLoad(app); };
    f.MnuAdvancedSave.onClick = [&app] { MnuAdvancedSave(app); };
    f.MnuAdvancedKillHDData.onClick = [&app] { ClearCrateData(app); };
}

}  // namespace stowaway
