#include "ui/editor/CrateEditing.h"

#include "startup/App.h"
#include "ui/main/Compression.h"
#include "ui/main/ControlStates.h"
#include "ui/main/ListScroll.h"

namespace stowaway {

namespace {

// Non-empty list entries in list order; a record holds 4097 at most.
std::vector<std::string> Entries(const ListBox& list, short& count) {
    std::vector<std::string> out;
    for (const std::string& item : list.items()) {
        if (item.empty()) continue;
        if (static_cast<int>(out.size()) >= EntrySlots) break;
        out.push_back(item);
    }
    count = static_cast<short>(out.size());
    return out;
}

void Fill(App& app, ListBox& list, const std::vector<std::string>& entries, short count) {
    list.clear();
    for (int j = 0; j < count; ++j) {
        const std::string& entry = CrateRecord::Entry(entries, j);
        list.addItem(entry);
        ExtendListScroll(app, list, entry);
    }
}

short CheckValue(short stored) {
    return stored == 0 ? CheckBox::Unchecked : stored == 2 ? CheckBox::Grayed : CheckBox::Checked;
}

}  // namespace

void StoreCurrentCrate(App& app) {
    CrateStore& store = app.store;
    if (store.CurrentIndex < 0 || store.CurrentIndex > MaxCrateIndex) return;
    CrateRecord& r = store.CrateTable[static_cast<std::size_t>(store.CurrentIndex)];
    if (r.Name.empty()) return;
    MainForm& f = app.FrmMain;
    r.Folders = Entries(f.LstDir, r.FolderMax);
    r.Files = Entries(f.LstFile, r.FileMax);
    store.CrateMax = static_cast<short>(f.LstCrate.count() - 1);
    r.BackupLocation = f.TxtBackupLocation.text();
    r.RestoreLocation = f.TxtRestoreLocation.text();
    store.LogPath = f.TxtLogPath.text();
    store.LogViewer = f.TxtLogViewer.text();
    r.UpdateOnly = f.ChkUpdateOnly.value();
    r.MultiDisk = f.ChkMultiDisk.value();
}

void ShowCurrentCrate(App& app) {
    const short current = app.store.CurrentIndex;
    if (current < 0 || current > MaxCrateIndex) return;
    const CrateRecord& r = app.store.CrateTable[static_cast<std::size_t>(current)];
    MainForm& f = app.FrmMain;
    Fill(app, f.LstDir, r.Folders, r.FolderMax);
    Fill(app, f.LstFile, r.Files, r.FileMax);
    f.TxtBackupLocation.setText(r.BackupLocation);
    f.TxtRestoreLocation.setText(r.RestoreLocation);
    f.HSlCompression.setValue(r.Compression);
    // The slider raises no change when it already stood at this level.
    f.LblCompression.setCaption(CompressionCaption(app));
    f.ChkUpdateOnly.setValue(CheckValue(r.UpdateOnly));
    f.ChkMultiDisk.setValue(CheckValue(r.MultiDisk));
    f.TxtLogViewer.setText(app.store.LogViewer);
}

void SelectCrate(App& app) {
    if (app.ListUpdating) return;
    MainForm& f = app.FrmMain;
    const std::string& location = f.TxtBackupLocation.text();
    if (location.empty() || location == ".zip")
        f.TxtBackupLocation.setText(app.style().join(app.ProgramFolder, "SWBackup.zip"));
    if (f.TxtRestoreLocation.text().empty()) f.TxtRestoreLocation.setText(app.ProgramFolder);
    StoreCurrentCrate(app);
    const int index = f.LstCrate.listIndex();
    app.store.CurrentIndex = static_cast<short>(index);
    if (index >= 0 && index <= MaxCrateIndex) {
        SetCrateControlsEnabled(app, true);
        ShowCurrentCrate(app);
        f.TxtDirWildcard.setText("*.*");
        SetCrateControlsEnabled(app, true);
    } else {
        SetCrateControlsEnabled(app, false);
    }
}

}  // namespace stowaway
