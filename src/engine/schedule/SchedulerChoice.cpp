#include "engine/schedule/SchedulerChoice.h"

#include "engine/schedule/CronScheduler.h"
#include "engine/schedule/SystemdScheduler.h"
#include "platform/Text.h"

namespace stowaway {

SchedulerChoice::SchedulerChoice(const Platform& platform, const SchedulerHooks& hooks)
    : platform_(platform), hooks_(hooks) {}

Scheduler* SchedulerChoice::scheduler(std::string& error) {
    if (chosen_) return chosen_.get();
    UnitActivation& activation = hooks_.activation ? *hooks_.activation : systemctl_;
    CrontabAccess& crontab = hooks_.crontab ? *hooks_.crontab : crontabCommand_;
    const std::string forced =
        ToLower(TrimBlanksAndTabs(hooks_.forced ? *hooks_.forced : SchedulerOverride()));
    bool systemd = false;
    if (forced == "systemd") {
        systemd = true;
    } else if (forced == "cron") {
        systemd = false;
    } else if (forced.empty()) {
        systemd = activation.available();
    } else {
        error = "STOWAWAY_SCHEDULER is \"" + forced + "\"; it may be systemd or cron (or unset).";
        return nullptr;
    }
    if (systemd)
        chosen_ = std::make_unique<SystemdScheduler>(
            platform_, activation, hooks_.unitFolder ? *hooks_.unitFolder : UserUnitFolder());
    else
        chosen_ = std::make_unique<CronScheduler>(crontab);
    return chosen_.get();
}

}  // namespace stowaway
