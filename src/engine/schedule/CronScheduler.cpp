#include "engine/schedule/CronScheduler.h"

#include <algorithm>

#include "engine/schedule/Calendar.h"
#include "engine/schedule/CronBlock.h"
#include "platform/Text.h"
#include "platform/scheduler/Crontab.h"

namespace stowaway {

bool CronScheduler::readBlock(std::string& crontab, std::vector<CronEntry>& entries,
                              std::string& error) {
    std::string reason;
    if (!crontab_.read(crontab, reason)) {
        error = "The crontab could not be read: " + reason;
        return false;
    }
    const CronTable table = ReadCronBlock(crontab);
    if (table.damaged) {
        error = "The crontab has the line \"" + std::string(CronBeginMarker) +
                "\" without the line \"" + std::string(CronEndMarker) +
                "\" after it; nothing was changed. Put the end line back with crontab -e.";
        return false;
    }
    entries = table.entries;
    return true;
}

bool CronScheduler::apply(const std::string& crate, const Schedule& schedule,
                          const std::string& program, std::string& error) {
    if (!CronWord(crate) || !CronWord(program)) {
        error = "A crontab line cannot hold the name \"" + crate +
                "\" or the program's path: one of them contains a line break. Rename the Crate, or "
                "use systemd (STOWAWAY_SCHEDULER=systemd).";
        return false;
    }
    std::string crontab;
    std::vector<CronEntry> entries;
    if (!readBlock(crontab, entries, error)) return false;
    const auto same = [&](const CronEntry& entry) {
        return EqualsIgnoreCase(Trim(entry.crate), Trim(crate));
    };
    const auto at = std::find_if(entries.begin(), entries.end(), same);
    CronEntry entry{crate, program, CronFields(schedule)};
    if (schedule.kind == ScheduleKind::Off) {
        if (at == entries.end()) return true;
        std::erase_if(entries, same);
    } else if (at == entries.end()) {
        entries.push_back(entry);
    } else {
        *at = entry;
        entries.erase(std::remove_if(at + 1, entries.end(), same), entries.end());
    }
    std::string reason;
    if (!crontab_.write(WithCronBlock(crontab, entries), reason)) {
        error = "The crontab could not be written, so it is as it was: " + reason;
        return false;
    }
    return true;
}

bool CronScheduler::installed(std::vector<InstalledSchedule>& schedules, std::string& error) {
    std::string crontab;
    std::vector<CronEntry> entries;
    if (!readBlock(crontab, entries, error)) return false;
    schedules.clear();
    for (const CronEntry& entry : entries)
        schedules.push_back(InstalledSchedule{entry.crate, entry.program, entry.fields});
    return true;
}

}  // namespace stowaway
