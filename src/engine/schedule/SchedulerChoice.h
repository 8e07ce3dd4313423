#pragma once

#include <memory>
#include <optional>
#include <string>

#include "engine/schedule/Scheduler.h"
#include "platform/scheduler/CommandRunner.h"
#include "platform/scheduler/Crontab.h"
#include "platform/scheduler/UserManager.h"

namespace stowaway {

class Platform;

// Where the schedulers' OS parts come from; every one left unset is the real one.
struct SchedulerHooks {
    UnitActivation* activation = nullptr;   // systemctl --user
    CrontabAccess* crontab = nullptr;       // the crontab command
    std::optional<std::string> unitFolder;  // $XDG_CONFIG_HOME/systemd/user
    std::optional<std::string> forced;      // $STOWAWAY_SCHEDULER
};

// STOWAWAY_SCHEDULER=systemd or =cron forces one; otherwise systemd when the
// user's manager answers, cron when it does not.
class SchedulerChoice {
  public:
    SchedulerChoice(const Platform& platform, const SchedulerHooks& hooks);
    // The scheduler in use; nullptr, with the reason, for a forced name that is
    // neither systemd nor cron.
    Scheduler* scheduler(std::string& error);

  private:
    const Platform& platform_;
    SchedulerHooks hooks_;
    SystemCommandRunner runner_;
    SystemctlActivation systemctl_{runner_};
    CrontabCommand crontabCommand_{runner_};
    std::unique_ptr<Scheduler> chosen_;
};

}  // namespace stowaway
