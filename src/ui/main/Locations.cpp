#include "ui/main/Locations.h"

#include "platform/Text.h"
#include "startup/App.h"

namespace stowaway {

namespace {

bool WantsDefault(const std::string& text) {
    return text.empty() || text == ".zip";
}

}  // namespace

void BackupLocationDefault(App& app) {
    TextBox& box = app.FrmMain.TxtBackupLocation;
    // A program in a drive root gets a doubled separator here, as it always has.
    if (WantsDefault(box.text())) box.setText(app.style().join(app.ProgramFolder, "SWBackup.zip"));
}

void RestoreLocationDefault(App& app) {
    TextBox& box = app.FrmMain.TxtRestoreLocation;
    if (WantsDefault(box.text())) box.setText(app.ProgramFolder);
}

void NormaliseBackupLocation(App& app) {
    TextBox& box = app.FrmMain.TxtBackupLocation;
    std::string text = box.text();
    if (ToLower(Right(text, 5)) == app.style().separatorText() + ".zip")
        text = text.substr(0, text.size() - 4) + "SWBackup.zip";
    if (ToLower(Right(text, 4)) != ".zip") text += ".zip";
    box.setText(text);
}

}  // namespace stowaway
