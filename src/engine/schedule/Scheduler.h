#pragma once

#include <string>
#include <vector>

#include "store/settings/Schedule.h"

namespace stowaway {

// A Crate's schedule as the scheduler holds it.
struct InstalledSchedule {
    std::string crate;
    std::string program;  // what it runs
    std::string when;     // the scheduler's own text: OnCalendar= or the cron fields
};

// What runs the scheduled backups: the user's systemd or cron. Every change is
// all or nothing: on failure the scheduler is as it was and error says why.
class Scheduler {
  public:
    virtual ~Scheduler() = default;
    virtual std::string name() const = 0;
    // Whether a run the machine missed (asleep, off) happens at the next start.
    virtual bool catchesUp() const = 0;
    // Installs or replaces the Crate's schedule running program; off removes it.
    virtual bool apply(const std::string& crate, const Schedule& schedule,
                       const std::string& program, std::string& error) = 0;
    virtual bool installed(std::vector<InstalledSchedule>& schedules, std::string& error) = 0;
};

}  // namespace stowaway
