#include "engine/schedule/SystemdScheduler.h"

#include <optional>

#include "engine/schedule/SystemdUnits.h"
#include "platform/Platform.h"
#include "platform/scheduler/UserManager.h"

namespace stowaway {

namespace {

// A unit file's contents before a change, to put back when the change fails.
struct Before {
    std::string path;
    std::optional<std::string> text;  // nullopt: there was no file
};

Before Remember(const Platform& platform, const std::string& path) {
    std::string text;
    if (platform.readWholeFile(path, text) == ReadStatus::Read) return Before{path, text};
    return Before{path, std::nullopt};
}

bool Write(const Platform& platform, const std::string& path, const std::string& text) {
    return platform.replaceFile(path, [&](std::ostream& out) {
        out << text;
        return static_cast<bool>(out);
    });
}

void Restore(const Platform& platform, const std::vector<Before>& files) {
    for (const Before& file : files) {
        if (file.text)
            Write(platform, file.path, *file.text);
        else
            platform.removeFile(file.path);
    }
}

}  // namespace

bool SystemdScheduler::apply(const std::string& crate, const Schedule& schedule,
                             const std::string& program, std::string& error) {
    if (folder_.empty()) {
        error =
            "There is no folder for the user's systemd units: neither XDG_CONFIG_HOME nor "
            "HOME is set.";
        return false;
    }
    if (!ExecProgram(program)) {
        error = "systemd cannot run the program " + program +
                ": its path holds a quote, a backslash or a control character. Move the "
                "program's folder, or use cron (STOWAWAY_SCHEDULER=cron).";
        return false;
    }
    const std::string base = UnitBaseName(crate);
    const std::string timer = base + ".timer";
    const std::string timerPath = folder_ + "/" + timer;
    const std::string servicePath = folder_ + "/" + base + ".service";
    const std::vector<Before> before = {Remember(platform_, timerPath),
                                        Remember(platform_, servicePath)};
    std::string reason;
    if (schedule.kind == ScheduleKind::Off) {
        if (!before[0].text && !before[1].text) return true;
        if (before[0].text && !activation_.disableTimers({timer}, reason)) {
            error = "The schedule could not be switched off: " + reason;
            return false;
        }
        platform_.removeFile(timerPath);
        platform_.removeFile(servicePath);
        // The files are gone; a manager that does not hear of it only keeps a stale entry.
        activation_.reload(reason);
        return true;
    }
    if (!MakeFolderPath(folder_)) {
        error = "The folder " + folder_ +
                " for the user's systemd units could not be created (is its parent read-only?).";
        return false;
    }
    if (!Write(platform_, servicePath, ServiceUnitText(crate, program)) ||
        !Write(platform_, timerPath, TimerUnitText(crate, schedule))) {
        Restore(platform_, before);
        error = "The unit files could not be written to " + folder_ +
                " (is the folder read-only, or the disk full?); nothing was changed.";
        return false;
    }
    if (!activation_.enableTimers({timer}, reason)) {
        Restore(platform_, before);
        std::string ignored;
        activation_.reload(ignored);
        error = "systemd did not take the schedule, so the units are as they were: " + reason;
        return false;
    }
    return true;
}

bool SystemdScheduler::installed(std::vector<InstalledSchedule>& schedules, std::string& error) {
    schedules.clear();
    std::vector<DirEntry> entries;
    if (!platform_.folderExists(folder_)) return true;
    if (!platform_.listDirectory(folder_, entries)) {
        error = "The folder " + folder_ + " could not be read.";
        return false;
    }
    constexpr std::string_view Suffix = ".service";
    for (const DirEntry& entry : entries) {
        const std::string& name = entry.name;
        if (name.rfind(UnitPrefix, 0) != 0 || name.size() <= Suffix.size() ||
            name.compare(name.size() - Suffix.size(), Suffix.size(), Suffix) != 0)
            continue;
        std::string text;
        if (platform_.readWholeFile(folder_ + "/" + name, text) != ReadStatus::Read) continue;
        const std::optional<ServiceCommand> command = ReadServiceCommand(text);
        if (!command) continue;
        std::string timer;
        std::string when;
        const std::string timerPath =
            folder_ + "/" + name.substr(0, name.size() - Suffix.size()) + ".timer";
        if (platform_.readWholeFile(timerPath, timer) == ReadStatus::Read) {
            const std::size_t at = timer.find("\nOnCalendar=");
            if (at != std::string::npos) {
                const std::size_t start = at + 12;
                when = timer.substr(start, timer.find('\n', start) - start);
            }
        }
        schedules.push_back(InstalledSchedule{command->crate, command->program, when});
    }
    return true;
}

}  // namespace stowaway
