#include "startup/Program.h"

#include <iostream>

#include "startup/App.h"
#include "startup/AutomatedBackup.h"
#include "startup/CommandLine.h"
#include "startup/Startup.h"
#include "startup/VersionCommands.h"

namespace stowaway {

void StartInteractive(App& app, FrontEnd& frontEnd) {
    frontEnd.prepareMainWindow(app);
    RunInteractiveStartup(app);
}

int RunProgram(App& app, const std::string& arguments, FrontEnd& frontEnd) {
    switch (ClassifyCommandLine(app, arguments)) {
        case StartMode::Help:
            std::cout << UsageText(app) << std::flush;
            return 0;
        case StartMode::Version:
            std::cout << VersionText() << std::flush;
            return 0;
        case StartMode::Versions:
            return RunVersionsCommand(app, arguments, std::cout, std::cerr);
        case StartMode::Rejected:
            ShowCommandLineError(app);
            return 2;
        case StartMode::Automated:
            frontEnd.showAbuWindow(app);
            return RunAutomatedBackup(app);
        case StartMode::Interactive:
            break;
    }
    if (!frontEnd.hasDisplay()) {
        std::cerr << "Stowaway: the main window needs a display (set DISPLAY, or run it under "
                     "xvfb-run); an automated backup runs without one: stowaway -abu NAME"
                  << std::endl;
        return 1;
    }
    // Two windows would each save over the other's Crates.
    if (!frontEnd.claimInteractive(app)) return 0;
    StartInteractive(app, frontEnd);
    return frontEnd.runMainWindow(app);
}

}  // namespace stowaway
