#pragma once

#include "engine/schedule/CronBlock.h"
#include "engine/schedule/Scheduler.h"

namespace stowaway {

class CrontabAccess;

// A block of lines in the user's crontab. Cron does not run what the machine
// missed while it was off or asleep.
class CronScheduler : public Scheduler {
  public:
    explicit CronScheduler(CrontabAccess& crontab) : crontab_(crontab) {}
    std::string name() const override { return "cron"; }
    bool catchesUp() const override { return false; }
    bool apply(const std::string& crate, const Schedule& schedule, const std::string& program,
               std::string& error) override;
    bool installed(std::vector<InstalledSchedule>& schedules, std::string& error) override;

  private:
    bool readBlock(std::string& crontab, std::vector<CronEntry>& entries, std::string& error);
    CrontabAccess& crontab_;
};

}  // namespace stowaway
