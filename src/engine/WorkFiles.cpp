#include "engine/WorkFiles.h"

#include "startup/App.h"

namespace stowaway {

WorkFiles WorkFilePaths(const App& app) {
    return {app.programFile("SWTemp.bat"), app.programFile("SWHeader.dat"),
            app.programFile("SWTemp.lst"), app.programFile("SWTemp.dat")};
}

bool EmptyWorkFiles(App& app, std::initializer_list<std::string> paths) {
    for (const std::string& path : paths) {
        app.platform.removeFile(path);
        if (!app.platform.makeEmptyFile(path)) {
            ReportWorkFileFailure(app, path);
            return false;
        }
    }
    return true;
}

void ReportWorkFileFailure(App& app, const std::string& path) {
    app.ui.messageBox("The work file \"" + path +
                          "\" cannot be written, so nothing was run. Make sure the program's "
                          "folder can be written to and the disk is not full.",
                      "Error", MsgButtons::OK, MsgIcon::Exclamation);
}

}  // namespace stowaway
