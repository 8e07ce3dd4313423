#pragma once

#include <string>

namespace stowaway {

class App;

// The command that opens the help: the viewer in the Windows folder and the help
// file in the program's folder ("C:\WINDOWS\HH.EXE C:\Backup\Stowaway.chm"; on
// POSIX "/usr/bin/xdg-open" with "Stowaway.html").
std::string HelpCommandLine(const App& app);
// Starts it; when it cannot be started, the "Help File Error" message.
void ShowHelp(App& app);

}  // namespace stowaway
