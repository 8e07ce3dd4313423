#include "ui/main/Help.h"

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

void ShowHelp(App& app) {
    // The POSIX opener shows its own window; its console output has no reader.
    const WindowStyle window =
        app.style().isWindows() ? WindowStyle::NormalFocus : WindowStyle::Hidden;
    if (app.platform.startProcess(HelpCommandLine(app), window) != 0) return;
    app.ui.messageBox(
        "Stowaway is unable to load the help file internally. Please us the Start Menu to open "
        "the help file.",
        "Help File Error", MsgButtons::OK, MsgIcon::Information);
}

}  // namespace stowaway
