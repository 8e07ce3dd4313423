#pragma once

#include <string>
#include <vector>

#include "platform/scheduler/CommandRunner.h"

namespace stowaway {

// Switches units of the user's systemd manager on and off. The unit files are
// written before and removed after; this only tells the manager.
class UnitActivation {
  public:
    virtual ~UnitActivation() = default;
    // Whether a user manager answers at all.
    virtual bool available() = 0;
    // Re-reads the unit files, then enables and starts the timers (or stops and
    // disables them). False with the reason in error when the manager refused.
    virtual bool enableTimers(const std::vector<std::string>& timers, std::string& error) = 0;
    virtual bool disableTimers(const std::vector<std::string>& timers, std::string& error) = 0;
    virtual bool reload(std::string& error) = 0;
};

// Through "systemctl --user".
class SystemctlActivation : public UnitActivation {
  public:
    explicit SystemctlActivation(CommandRunner& runner) : runner_(runner) {}
    bool available() override;
    bool enableTimers(const std::vector<std::string>& timers, std::string& error) override;
    bool disableTimers(const std::vector<std::string>& timers, std::string& error) override;
    bool reload(std::string& error) override;

  private:
    bool systemctl(std::vector<std::string> arguments, std::string& error);
    CommandRunner& runner_;
};

// The user's systemd unit folder: $XDG_CONFIG_HOME/systemd/user, else
// $HOME/.config/systemd/user; empty when neither is set.
std::string UserUnitFolder();

}  // namespace stowaway

namespace stowaway {

// The STOWAWAY_SCHEDULER environment variable ("systemd" or "cron"), or "".
std::string SchedulerOverride();

// Creates a folder and the folders above it that are missing; true when it exists after.
bool MakeFolderPath(const std::string& folder);

}  // namespace stowaway
