#include "startup/AutomatedBackup.h"

#include "startup/App.h"

namespace stowaway {

int RunAutomatedBackup(App& app) {
    app.ui.messageBox("The automated backup is not available yet.", "Error", MsgButtons::OK,
                      MsgIcon::Critical);
    return 1;
}

}  // namespace stowaway
