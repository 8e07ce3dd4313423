#include "ui/main/Browsing.h"

#include <algorithm>

#include "platform/Text.h"
#include "startup/App.h"

namespace stowaway {

namespace {

// The file names of a folder, sorted as the list shows them; false when the folder
// cannot be listed.
bool ListFiles(App& app, const std::string& folder, std::vector<std::string>& names) {
    std::vector<DirEntry> entries;
    if (folder.empty() || !app.platform.listDirectory(folder, entries)) return false;
    names.clear();
    for (const DirEntry& e : entries) {
        if (e.isFolder || e.name == "." || e.name == "..") continue;
        // A link to a folder is browsed in the tree, not picked as a file.
        if (e.isLink && app.platform.folderExists(app.style().joinOnce(folder, e.name))) continue;
        names.push_back(e.name);
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const int c = CompareIgnoreCase(a, b);
        return c != 0 ? c < 0 : a < b;
    });
    return true;
}

// Whether `path` lies on `drive`: the drive itself or below it.
bool OnDrive(const App& app, const std::string& path, const std::string& drive) {
    const bool folds = app.style().foldsCase();
    auto same = [folds](std::string_view a, std::string_view b) {
        return folds ? EqualsIgnoreCase(a, b) : a == b;
    };
    if (drive.empty() || path.size() < drive.size()) return false;
    if (!same(Left(path, drive.size()), drive)) return false;
    return path.size() == drive.size() || app.style().endsWithSeparator(drive) ||
           path[drive.size()] == app.style().separator();
}

}  // namespace

std::string DriveOf(const App& app, const std::string& path) {
    std::string best;
    for (const std::string& drive : app.FrmMain.DrvSelect.drives())
        if (drive.size() > best.size() && OnDrive(app, path, drive)) best = drive;
    return best.empty() ? app.style().rootOf(path) : best;
}

void DriveChanged(App& app) {
    MainForm& f = app.FrmMain;
    const std::string drive = f.DrvSelect.drive();
    // Already there: also the case when the list is put back below.
    if (DriveOf(app, f.DirSelect.path()) == drive) return;
    std::vector<DirEntry> entries;
    if (!app.platform.listDirectory(drive, entries)) {
        app.ui.messageBox("Drive " + ToUpper(drive) + " is not able to be read.", "Invalid Drive",
                          MsgButtons::OK, MsgIcon::None);
        f.DrvSelect.setDrive(DriveOf(app, f.DirSelect.path()));
        return;
    }
    f.DirSelect.setPath(drive);
}

void FolderChanged(App& app) {
    MainForm& f = app.FrmMain;
    std::vector<std::string> names;
    if (ListFiles(app, f.DirSelect.path(), names)) {
        f.FileSelect.show(f.DirSelect.path(), std::move(names));
        return;
    }
    // Putting the tree back to a folder that cannot be listed either: say it once.
    if (f.DirSelect.path() == f.FileSelect.path()) return;
    app.ui.messageBox("Directory " + f.DirSelect.path() + " doesn't exist or is invalid",
                      "Invalid Directory", MsgButtons::OK, MsgIcon::None);
    f.DirSelect.setPath(f.FileSelect.path());
}

void RefreshBrowsing(App& app) {
    MainForm& f = app.FrmMain;
    f.DrvSelect.setDrives(app.platform.drives());
    f.DirSelect.refresh();
    std::vector<std::string> names;
    if (ListFiles(app, f.FileSelect.path(), names))
        f.FileSelect.show(f.FileSelect.path(), std::move(names));
}

}  // namespace stowaway
