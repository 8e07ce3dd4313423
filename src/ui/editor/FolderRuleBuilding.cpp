#include "engine/FolderRule.h"
#include "startup/App.h"
#include "ui/editor/SelectionEditing.h"
#include "ui/main/ListScroll.h"

namespace stowaway {

void BuildFolderRule(App& app, const std::string& folder, const std::string& first,
                     const std::string& second, short kind, bool recurse) {
    const std::string rule = ComposeFolderRule(app.style(), folder, first, second, kind, recurse,
                                               app.IncludeMode, app.AfterMode);
    if (rule.empty()) return;
    ListBox& list = app.FrmMain.LstDir;
    if (list.indexOf(rule) >= 0) return;
    list.addItem(rule);
    ExtendListScroll(app, list, rule);
}

}  // namespace stowaway
