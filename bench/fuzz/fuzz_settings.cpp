// libFuzzer target: the program's own files beside the data file and what it reads
// back from the schedulers, on arbitrary bytes: the settings file, the run-state
// file, a schedule's text, the crontab around our block and a service unit.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzSeeds.h"
#include "engine/schedule/CronBlock.h"
#include "engine/schedule/SystemdUnits.h"
#include "store/RunState.h"
#include "store/settings/Schedule.h"
#include "store/settings/Settings.h"

namespace {

using namespace stowaway;

const std::string Seeds[] = {
    "; comment\n[crate \"Docs \\\"x\\\"\"]\nschedule = daily 02:30\noverdue_days = 7\n",
    "[Nightly]\nresult=failed\nerror=disk \\x41 gone\nstarted=2026-12-07T17:30:00Z\n",
    "mon,thu 09:00",
    "MAILTO=x\n# BEGIN STOWAWAY\n30 2 * * * '/p/stowaway' -abu 'Docs'\n# END STOWAWAY\n",
    "[Service]\nType=oneshot\nExecStart=\"/p/stowaway\" -abu \"Docs 100%%\"\n",
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    stowaway::fuzz::WriteSeeds(Seeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);

    // What is saved reads back with the same Crates and values, changes included.
    std::vector<std::string> problems;
    Settings settings = Settings::Parse(input, problems);
    for (const std::string& crate : settings.crateNames())
        settings.setCrateValue(crate, "schedule", "every 6h");
    // A Crate's name is never blank.
    const std::string name = input.substr(0, 40);
    const bool named = name.find_first_not_of(" \t\r\n") != std::string::npos;
    if (named) settings.setCrateValue(name, "overdue_days", input.substr(0, 8));
    const std::string saved = settings.format();
    std::vector<std::string> again;
    const Settings reread = Settings::Parse(saved, again);
    if (reread.crateNames() != settings.crateNames()) std::abort();
    for (const std::string& crate : settings.crateNames())
        for (const char* key : {"schedule", "overdue_days"})
            if (reread.crateValue(crate, key) != settings.crateValue(crate, key)) std::abort();
    if (named && settings.crateValue(name, "overdue_days") != input.substr(0, 8)) std::abort();

    const RunStateParse state = ParseRunState(input);
    const std::string written = FormatRunState(state.table);
    if (FormatRunState(ParseRunState(written).table) != written) std::abort();

    const ScheduleParse schedule = ParseSchedule(input);
    if (schedule.schedule) {
        const ScheduleParse back = ParseSchedule(FormatSchedule(*schedule.schedule));
        if (!back.schedule || *back.schedule != *schedule.schedule) std::abort();
    } else if (schedule.error.empty()) {
        std::abort();
    }

    const CronTable cron = ReadCronBlock(input);
    if (!cron.damaged) {
        const std::string rewritten = WithCronBlock(input, cron.entries);
        if (ReadCronBlock(rewritten).entries.size() > cron.entries.size()) std::abort();
    }
    (void)ReadServiceCommand(input);
    (void)SplitExecLine(input);
    return 0;
}
