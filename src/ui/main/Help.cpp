#include "ui/main/Help.h"

#include <cstdint>

#include "startup/App.h"

namespace stowaway {

std::string HelpCommandLine(const App& app) {
    const PathStyle& style = app.style();
    if (style.isWindows())
        return style.join(app.WindowsDir, "HH.EXE") + " " +
               style.join(app.ProgramFolder, "Stowaway.chm");
    std::string page = style.join(app.ProgramFolder, "Stowaway.html");
    // A program folder with a blank must still reach the opener as one argument.
    if (page.find(' ') != std::string::npos) page = "\"" + page + "\"";
    return style.join(app.WindowsDir, "xdg-open") + " " + page;
}

namespace {

// A viewer that ends with a failure right after its start (xdg-open without a
// browser) could not show the help either. It is reaped here; one that keeps
// running is left to the platform, which reaps it once it ends.
bool FailedAtOnce(App& app, long pid) {
    Platform& platform = app.platform;
    const long handle = platform.openProcess(pid);
    if (handle == 0) return false;
    std::uint32_t code = Platform::StillActive;
    for (int waited = 0; waited < HelpStartMilliseconds; waited += HelpPollMilliseconds) {
        if (!platform.getExitCodeProcess(handle, code) || code != Platform::StillActive) break;
        app.ui.processEvents();
        platform.sleepMilliseconds(HelpPollMilliseconds);
    }
    platform.closeHandle(handle);
    return code != Platform::StillActive && code != 0;
}

}  // namespace

void ShowHelp(App& app) {
    // The POSIX opener shows its own window; its console output has no reader.
    const WindowStyle window =
        app.style().isWindows() ? WindowStyle::NormalFocus : WindowStyle::Hidden;
    const long pid = app.platform.startProcess(HelpCommandLine(app), window);
    if (pid != 0 && !FailedAtOnce(app, pid)) return;
    app.ui.messageBox(
        "Stowaway is unable to load the help file internally. Please us the Start Menu to open "
        "the help file.",
        "Help File Error", MsgButtons::OK, MsgIcon::Information);
}

}  // namespace stowaway
