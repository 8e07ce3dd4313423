#include "ui/main/DataFileCommands.h"

#include "startup/App.h"
#include "store/DataFile.h"
#include "store/settings/SettingsFile.h"
#include "ui/editor/CrateEditing.h"
#include "ui/schedule/ScheduleCommands.h"

namespace stowaway {

void LoadDataFile(App& app) {
    MainForm& f = app.FrmMain;
    CrateStore& store = app.store;
    f.LstCrate.clear();
    f.LstFile.clear();
    f.LstDir.clear();
    store.clearTable();

    const StoreContext ctx = app.storeContext();
    store.LogPath = NormalisedLogPath(ctx, f.TxtLogPath.text());
    f.TxtLogPath.setText(store.LogPath);
    switch (LoadCrateFile(ctx)) {
        case LoadOutcome::Damaged:
            // The option boxes stay as the log path's check left them.
            return;
        case LoadOutcome::Loaded:
            for (int s = 0; s <= store.CrateMax; ++s)
                f.LstCrate.addItem(store.CrateTable[static_cast<std::size_t>(s)].Name);
            break;
        case LoadOutcome::NoData:
            break;
    }
    f.TxtLogViewer.setText(store.LogViewer);
    f.TxtLogPath.setText(store.LogPath);
}

void SaveDataFile(App& app) {
    app.store.LogPath = NormalisedLogPath(app.storeContext(), app.FrmMain.TxtLogPath.text());
    app.FrmMain.TxtLogPath.setText(app.store.LogPath);
    SaveCrateFile(app.storeContext());
}

void ClearCrateData(App& app) {
    const StoreContext ctx = app.storeContext();
    if (!ConfirmClearCrateData(ctx)) return;
    app.FrmMain.LstDir.clear();
    app.FrmMain.LstFile.clear();
    app.FrmMain.LstCrate.clear();
    DestroyCrateData(ctx);
    // Their schedules would run backups of Crates that are gone, every night.
    const SettingsLoad load = LoadSettings(app.platform, app.settingsPath());
    for (const std::string& crate : load.settings.crateNames()) FollowCrateDelete(app, crate);
}

void MnuAdvancedLoad(App& app) {
    LoadDataFile(app);
    if (app.FrmMain.LstCrate.count() > 0) app.FrmMain.LstCrate.setListIndex(0);
}

void MnuAdvancedSave(App& app) {
    StoreCurrentCrate(app);
    SaveDataFile(app);
}

}  // namespace stowaway
