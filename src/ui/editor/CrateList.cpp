#include "ui/editor/CrateList.h"

#include "platform/Text.h"
#include "startup/App.h"
#include "ui/editor/CrateEditing.h"
#include "ui/editor/TextRules.h"
#include "ui/main/ControlStates.h"
#include "ui/main/DataFileCommands.h"
#include "ui/schedule/ScheduleCommands.h"

namespace stowaway {

namespace {

constexpr const char* NameWhat = "A Crate name";

bool IsListed(const ComboBox& list, const std::string& name) {
    for (const std::string& item : list.items())
        if (EqualsIgnoreCase(item, name)) return true;
    return false;
}

void FillNewCrate(App& app, CrateRecord& r, const std::string& name) {
    r = CrateRecord{};
    r.Name = name;
    r.BackupLocation = app.style().join(app.ProgramFolder, "SWBackup.zip");
    r.RestoreLocation = app.ProgramFolder;
    r.Compression = 5;
}

}  // namespace

void AddCrate(App& app, const std::string& name) {
    if (RefuseDoubleQuote(app, name, NameWhat)) return;
    MainForm& f = app.FrmMain;
    CrateStore& store = app.store;
    app.ListUpdating = true;
    // The Crate shown so far keeps its edits whatever follows.
    StoreCurrentCrate(app);
    const int slot = f.LstCrate.count();
    if (!name.empty() && slot < CrateSlots && !IsListed(f.LstCrate, name)) {
        FillNewCrate(app, store.CrateTable[static_cast<std::size_t>(slot)], name);
        f.LstCrate.addItem(name);
        store.CrateMax = static_cast<short>(slot);
        f.LstCrate.setListIndex(slot);  // SelectCrate stays out: ListUpdating
        store.CurrentIndex = static_cast<short>(slot);
        ShowCurrentCrate(app);
        SetCrateControlsEnabled(app, true);
        f.HSlCompression.setValue(5);
    }
    f.TxtAddCrate.setText("");
    app.ListUpdating = false;
}

void RenameCrate(App& app) {
    MainForm& f = app.FrmMain;
    const std::string name = f.TxtAddCrate.text();
    if (name.empty()) {
        app.ui.messageBox(
            "You cannot rename a crate to nothing. Please enter the new name for the crate in "
            "the box titled \"" +
                f.Label5.caption() + "\". Please enter the new name there.",
            "Rename Error", MsgButtons::OK, MsgIcon::Information);
        return;
    }
    if (RefuseDoubleQuote(app, name, NameWhat)) return;
    CrateStore& store = app.store;
    const short current = store.CurrentIndex;
    if (current < 0 || current > MaxCrateIndex) return;
    CrateRecord& record = store.CrateTable[static_cast<std::size_t>(current)];
    if (record.Name.empty()) return;

    const std::string oldName = record.Name;
    record.Name = name;
    StoreCurrentCrate(app);
    f.LstCrate.clear();
    for (int s = 0; s <= store.CrateMax && s <= MaxCrateIndex; ++s) {
        const std::string& slotName = store.CrateTable[static_cast<std::size_t>(s)].Name;
        if (!slotName.empty()) f.LstCrate.addItem(slotName);
    }
    store.CurrentIndex = -1;
    // SelectCrate runs: it stores nothing (no Crate is current) and shows the same one.
    f.LstCrate.setListIndex(current);
    ShowCurrentCrate(app);
    f.TxtAddCrate.setText("");
    FollowCrateRename(app, oldName, name);
}

void DeleteCrate(App& app) {
    MainForm& f = app.FrmMain;
    CrateStore& store = app.store;
    app.ListUpdating = true;
    const int selected = f.LstCrate.listIndex();
    if (selected >= 0 && selected <= MaxCrateIndex) {
        CrateRecord& record = store.CrateTable[static_cast<std::size_t>(selected)];
        const MsgResult answer = app.ui.messageBox(
            "Are you sure you want to delete the crate labeled \"" + record.Name + "\"?",
            "Confirmation", MsgButtons::OKCancel, MsgIcon::Exclamation);
        if (answer == MsgResult::OK) {
            store.CurrentIndex = static_cast<short>(selected);
            const std::string deleted = record.Name;
            // Saving leaves the unnamed slot out; loading packs the rest together.
            record.Name.clear();
            f.LstCrate.clear();
            SaveDataFile(app);
            LoadDataFile(app);
            if (f.LstCrate.count() == 0) SetCrateControlsEnabled(app, false);
            FollowCrateDelete(app, deleted);
        }
    }
    app.ListUpdating = false;
}

}  // namespace stowaway
