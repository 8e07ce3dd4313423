#include "startup/Program.h"

#include <cstdlib>
#include <iostream>

#include "platform/Text.h"

#include "startup/App.h"
#include "startup/AutomatedBackup.h"
#include "startup/CommandLine.h"
#include "startup/Startup.h"
#include "startup/StatusReport.h"
#include "startup/VersionCommands.h"

namespace stowaway {

void StartInteractive(App& app, FrontEnd& frontEnd) {
    frontEnd.prepareMainWindow(app);
    RunInteractiveStartup(app);
}

int RunProgram(App& app, const std::string& arguments, FrontEnd& frontEnd) {
    // How long a backup waits for another run of its Crate or another job of the
    // program folder, in seconds.
    if (const char* wait = std::getenv("STOWAWAY_LOCK_WAIT")) {
        const std::optional<long> seconds = ParseLong(wait);
        if (seconds && *seconds >= 0 && *seconds <= 24 * 60 * 60) {
            app.RunLockWaitMilliseconds = static_cast<int>(*seconds * 1000);
            app.WorkLockWaitMilliseconds = app.RunLockWaitMilliseconds;
        }
    }
    switch (ClassifyCommandLine(app, arguments)) {
        case StartMode::Help:
            std::cout << UsageText(app) << std::flush;
            return 0;
        case StartMode::Version:
            std::cout << VersionText() << std::flush;
            return 0;
        case StartMode::Status:
            return PrintStatus(app);
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
