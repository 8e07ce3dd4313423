#pragma once

#include "engine/schedule/Scheduler.h"

namespace stowaway {

class Platform;
class UnitActivation;

// A .timer and .service pair per Crate in the user's unit folder, switched on
// through the user's systemd manager. Timers are persistent: a missed run
// happens at the next start.
class SystemdScheduler : public Scheduler {
  public:
    SystemdScheduler(const Platform& platform, UnitActivation& activation, std::string unitFolder)
        : platform_(platform), activation_(activation), folder_(std::move(unitFolder)) {}
    std::string name() const override { return "systemd"; }
    bool catchesUp() const override { return true; }
    bool apply(const std::string& crate, const Schedule& schedule, const std::string& program,
               std::string& error) override;
    bool installed(std::vector<InstalledSchedule>& schedules, std::string& error) override;

  private:
    const Platform& platform_;
    UnitActivation& activation_;
    std::string folder_;
};

}  // namespace stowaway
