#include "platform/scheduler/CommandRunner.h"

namespace stowaway {

std::string CommandResult::describe(const std::vector<std::string>& arguments) const {
    std::string command;
    for (const std::string& argument : arguments)
        command += (command.empty() ? "" : " ") + argument;
    if (!started) return "\"" + command + "\" could not be run (is it installed?)";
    std::string line = errors.substr(0, errors.find('\n'));
    if (line.empty()) line = output.substr(0, output.find('\n'));
    std::string text = "\"" + command + "\" failed";
    text += status >= 0 ? " with exit status " + std::to_string(status) : " (killed)";
    if (!line.empty()) text += ": " + line;
    return text;
}

}  // namespace stowaway
