#include "ui/editor/SelectionEditing.h"

#include "engine/FolderRule.h"
#include "startup/App.h"
#include "ui/editor/DateCheck.h"
#include "ui/editor/TextRules.h"
#include "ui/main/ListScroll.h"

namespace stowaway {

namespace {

constexpr short WholeFolder = 0;
constexpr short ByPattern = 1;
constexpr short ByDate = 2;

void RemoveSelected(ListBox& list) {
    for (int i = list.count() - 1; i >= 0; --i)
        if (list.selected(i)) list.removeItem(i);
}

}  // namespace

void AddSelectedFolder(App& app) {
    MainForm& f = app.FrmMain;
    const std::string& folder = f.DirSelect.path();
    if (RefuseDoubleQuote(app, folder, "A folder's path")) return;
    if (RefuseFullList(app, f.LstDir, "folders")) return;
    const bool recurse = f.ChkRecurse.value() != CheckBox::Unchecked;
    if (f.ChkIncludeExclude.value() == CheckBox::Checked) {
        BuildFolderRule(app, folder, f.TxtDirWildcard.text(), "", ByPattern, recurse);
    } else if (f.ChkDateIncludeExclude.value() == CheckBox::Checked) {
        const std::string& date = f.TxtDateIncludeExclude.text();
        if (!IsValidRuleDate(date)) {
            app.ui.messageBox(
                date + " is not a valid date. Please enter a valid date and try again.",
                "Invalid Date", MsgButtons::OK, MsgIcon::Information);
            return;
        }
        BuildFolderRule(app, folder, date, f.TxtDateDirWildcard.text(), ByDate, recurse);
    } else {
        BuildFolderRule(app, folder, "", "", WholeFolder, recurse);
    }
}

void AddSelectedFiles(App& app) {
    MainForm& f = app.FrmMain;
    FileList& files = f.FileSelect;
    if (files.fileName().empty()) return;
    for (int i = 0; i < files.count(); ++i) {
        if (!files.selected(i)) continue;
        const std::string path =
            app.style().joinOnce(files.path(), files.items()[static_cast<std::size_t>(i)]);
        if (f.LstFile.indexOf(path) >= 0) continue;
        if (RefuseDoubleQuote(app, path, "A file's path")) continue;
        if (RefuseFullList(app, f.LstFile, "files")) return;
        f.LstFile.addItem(path);
        ExtendListScroll(app, f.LstFile, path);
    }
}

void RemoveSelectedFolders(App& app) {
    RemoveSelected(app.FrmMain.LstDir);
}

void RemoveSelectedFiles(App& app) {
    RemoveSelected(app.FrmMain.LstFile);
}

}  // namespace stowaway
