#include "startup/CommandLine.h"

#include "platform/Text.h"
#include "startup/App.h"

namespace stowaway {

std::string JoinArguments(const std::vector<std::string>& arguments) {
    std::string out;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0) out += ' ';
        out += arguments[i];
    }
    return out;
}

StartMode ClassifyCommandLine(App& app, const std::string& arguments) {
    app.CommandLine = ToLower(Trim(arguments));
    const std::string& line = app.CommandLine;
    if (line.find('-') == std::string::npos && line.find('/') == std::string::npos)
        return StartMode::Interactive;
    if (line.find("abu") != std::string::npos) {
        // The switch stands first and is four characters long.
        app.AbuCrateName = Trim(Mid(line, 4));
        return StartMode::Automated;
    }
    if (line.find("main") != std::string::npos) return StartMode::Interactive;
    return StartMode::Rejected;
}

std::string CommandLineErrorText(const std::string& commandLine) {
    return "The command line arguments \"" + commandLine +
           "\" are not understood. See Help for details on the command line interface.";
}

void ShowCommandLineError(App& app) {
    app.ui.messageBox(CommandLineErrorText(app.CommandLine), "Error", MsgButtons::OK,
                      MsgIcon::Critical);
}

}  // namespace stowaway
