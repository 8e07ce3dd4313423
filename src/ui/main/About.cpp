#include "ui/main/About.h"

#include "startup/App.h"

namespace stowaway {

void ShowAbout(App& app) {
    AboutForm& about = app.FrmAbout;
    if (!about.loaded) {
        about.LblVersion.setCaption("Version " + std::to_string(VersionMajor) + "." +
                                    std::to_string(VersionMinor));
        // Ok only hides: the next "&About" shows the same box.
        about.CmdOkAbout.onClick = [&about] { about.hide(); };
        about.loaded = true;
    }
    about.show();
}

}  // namespace stowaway
