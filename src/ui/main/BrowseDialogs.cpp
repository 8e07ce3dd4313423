#include "ui/main/BrowseDialogs.h"

#include "platform/Text.h"
#include "startup/App.h"
#include "ui/main/JobCommands.h"

namespace stowaway {

namespace {

constexpr const char* ZipFilter = "Zip Files (*.zip)|*.zip|";

// Everything up to the first NUL, as a fixed path buffer would give it.
std::string UpToNul(std::string text) {
    const std::size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    return text;
}

// Where a dialog opens: the current value as the operating system names it.
std::string StartAt(const App& app, const std::string& current) {
    const std::string trimmed = Trim(current);
    return trimmed.empty() ? std::string() : app.platform.native(trimmed);
}

}  // namespace

std::string BrowseForFile(App& app, const std::string& filter, const std::string& current,
                          FileDialogKind kind) {
    return UpToNul(app.ui.browseForFile(filter, StartAt(app, current), kind));
}

std::string BrowseForFolder(App& app, const std::string& title, const std::string& current) {
    return UpToNul(app.ui.browseForFolder(title, StartAt(app, current)));
}

void BrowseBackupLocation(App& app) {
    TextBox& box = app.FrmMain.TxtBackupLocation;
    box.setText(BrowseForFile(app, ZipFilter, box.text(), FileDialogKind::Save));
}

void BrowseRestoreLocation(App& app) {
    const std::string folder =
        BrowseForFolder(app, "Restore Location", app.FrmMain.TxtRestoreLocation.text());
    if (!folder.empty()) app.FrmMain.TxtRestoreLocation.setText(folder);
}

void BrowseLogFile(App& app) {
    TextBox& box = app.FrmMain.TxtLogPath;
    box.setText(BrowseForFile(app, "Text Files (*.txt)|*.txt|", box.text()));
}

void BrowseTextViewer(App& app) {
    // POSIX programs carry no ".exe"; there every file is offered.
    const char* filter =
        app.style().isWindows() ? "Executable Files (*.exe)|*.exe|" : "Executable Files (*)|*|";
    TextBox& box = app.FrmMain.TxtLogViewer;
    box.setText(BrowseForFile(app, filter, box.text()));
}

void ImportCrateCommand(App& app) {
    // Archives to import are most likely where the backups go.
    const std::string path = BrowseForFile(app, ZipFilter, app.FrmMain.TxtBackupLocation.text());
    if (!path.empty()) ImportCrate(app, path);
}

}  // namespace stowaway
