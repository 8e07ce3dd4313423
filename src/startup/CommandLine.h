#pragma once

#include <string>
#include <vector>

namespace stowaway {

class App;

// Help and Version: "--help" and "--version", the two words Linux users expect;
// every other line keeps the classic forms.
// Versions: "--keep", "--versions" and "--prune" (startup/VersionCommands.h).
enum class StartMode { Interactive, Automated, Rejected, Help, Version, Status, Versions };

// The arguments without the program path, joined with single blanks.
std::string JoinArguments(const std::vector<std::string>& arguments);

// Sets CommandLine (trimmed, lower case) and, for the automated mode, AbuCrateName.
StartMode ClassifyCommandLine(App& app, const std::string& arguments);

// What "--help" and "--version" print.
std::string UsageText(const App& app);
std::string VersionText();

// The message for a command line that is not understood.
std::string CommandLineErrorText(const std::string& commandLine);
void ShowCommandLineError(App& app);

}  // namespace stowaway
