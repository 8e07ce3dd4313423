#pragma once

#include <string>
#include <vector>

namespace stowaway {

class App;

enum class StartMode { Interactive, Automated, Rejected };

// The arguments without the program path, joined with single blanks.
std::string JoinArguments(const std::vector<std::string>& arguments);

// Sets CommandLine (trimmed, lower case) and, for the automated mode, AbuCrateName.
StartMode ClassifyCommandLine(App& app, const std::string& arguments);

// The message for a command line that is not understood.
std::string CommandLineErrorText(const std::string& commandLine);
void ShowCommandLineError(App& app);

}  // namespace stowaway
