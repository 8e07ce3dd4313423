#include "platform/scheduler/Crontab.h"

namespace stowaway {

std::vector<std::string> CrontabCommand::command(const std::string& action) const {
    std::vector<std::string> arguments = {"crontab"};
    if (!user_.empty()) arguments.insert(arguments.end(), {"-u", user_});
    arguments.push_back(action);
    return arguments;
}

bool CrontabCommand::read(std::string& text, std::string& error) {
    const std::vector<std::string> arguments = command("-l");
    const CommandResult result = runner_.run(arguments);
    if (result.succeeded()) {
        text = result.output;
        return true;
    }
    // "no crontab for USER" is an empty crontab, not a failure.
    if (result.started && result.status == 1 &&
        result.errors.find("no crontab for") != std::string::npos) {
        text.clear();
        return true;
    }
    error = result.describe(arguments);
    return false;
}

bool CrontabCommand::write(const std::string& text, std::string& error) {
    const std::vector<std::string> arguments = command("-");
    const CommandResult result = runner_.run(arguments, text);
    if (result.succeeded()) return true;
    error = result.describe(arguments);
    return false;
}

}  // namespace stowaway
