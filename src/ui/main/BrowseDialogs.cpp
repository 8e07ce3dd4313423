#include "ui/main/BrowseDialogs.h"

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

}  // namespace

std::string BrowseForFile(App& app, const std::string& filter) {
    return UpToNul(app.ui.browseForFile(filter));
}

std::string BrowseForFolder(App& app, const std::string& title) {
    return UpToNul(app.ui.browseForFolder(title));
}

void BrowseBackupLocation(App& app) {
    app.FrmMain.TxtBackupLocation.setText(BrowseForFile(app, ZipFilter));
}

void BrowseRestoreLocation(App& app) {
    const std::string folder = BrowseForFolder(app, "Restore Location");
    if (!folder.empty()) app.FrmMain.TxtRestoreLocation.setText(folder);
}

void BrowseLogFile(App& app) {
    app.FrmMain.TxtLogPath.setText(BrowseForFile(app, "Text Files (*.txt)|*.txt|"));
}

void BrowseTextViewer(App& app) {
    // POSIX programs carry no ".exe"; there every file is offered.
    const char* filter =
        app.style().isWindows() ? "Executable Files (*.exe)|*.exe|" : "Executable Files (*)|*|";
    app.FrmMain.TxtLogViewer.setText(BrowseForFile(app, filter));
}

void ImportCrateCommand(App& app) {
    const std::string path = BrowseForFile(app, ZipFilter);
    if (!path.empty()) ImportCrate(app, path);
}

}  // namespace stowaway
