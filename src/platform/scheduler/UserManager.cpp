#include "platform/scheduler/UserManager.h"

#include <cstdlib>

namespace stowaway {

bool SystemctlActivation::systemctl(std::vector<std::string> arguments, std::string& error) {
    arguments.insert(arguments.begin(), {"systemctl", "--user"});
    const CommandResult result = runner_.run(arguments);
    if (result.succeeded()) return true;
    error = result.describe(arguments);
    return false;
}

bool SystemctlActivation::available() {
    // "is-system-running" answers (whatever the state) only when a manager runs.
    const CommandResult result = runner_.run({"systemctl", "--user", "is-system-running"});
    if (!result.started) return false;
    const std::string state = result.output.substr(0, result.output.find('\n'));
    return !state.empty() && state != "offline" && state != "unknown";
}

bool SystemctlActivation::reload(std::string& error) {
    return systemctl({"daemon-reload"}, error);
}

bool SystemctlActivation::enableTimers(const std::vector<std::string>& timers, std::string& error) {
    if (!reload(error)) return false;
    if (timers.empty()) return true;
    std::vector<std::string> arguments = {"enable", "--now"};
    arguments.insert(arguments.end(), timers.begin(), timers.end());
    return systemctl(arguments, error);
}

bool SystemctlActivation::disableTimers(const std::vector<std::string>& timers,
                                        std::string& error) {
    if (timers.empty()) return true;
    std::vector<std::string> arguments = {"disable", "--now"};
    arguments.insert(arguments.end(), timers.begin(), timers.end());
    return systemctl(arguments, error);
}

std::string UserUnitFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') return std::string(config) + "/systemd/user";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/.config/systemd/user";
    return {};
}

}  // namespace stowaway

#include <filesystem>

#include "platform/NativeText.h"

namespace stowaway {

std::string SchedulerOverride() {
    const char* value = std::getenv("STOWAWAY_SCHEDULER");
    return value ? value : "";
}

bool MakeFolderPath(const std::string& folder) {
    std::error_code error;
    std::filesystem::create_directories(toPath(folder), error);
    return std::filesystem::is_directory(toPath(folder), error);
}

}  // namespace stowaway
