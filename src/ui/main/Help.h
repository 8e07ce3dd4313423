#pragma once

#include <string>

namespace stowaway {

class App;

// The command that opens the help: the viewer in the Windows folder and the help
// file in the program's folder ("C:\WINDOWS\HH.EXE C:\Backup\Stowaway.chm"; on
// POSIX "/usr/bin/xdg-open" with "Stowaway.html").
std::string HelpCommandLine(const App& app);
// How long a started viewer is watched for an immediate failure, and how often.
inline constexpr int HelpStartMilliseconds = 1500;
inline constexpr int HelpPollMilliseconds = 20;

// Starts it; when it cannot be started, or ends with a failure at once, the
// "Help File Error" message.
void ShowHelp(App& app);

}  // namespace stowaway
