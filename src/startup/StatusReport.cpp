#include "startup/StatusReport.h"

#include <iostream>
#include <vector>

#include "engine/OverdueDays.h"
#include "platform/VisibleText.h"
#include "startup/App.h"
#include "startup/ScheduleView.h"
#include "store/RunStateFile.h"
#include "ui/main/DataFileCommands.h"

namespace stowaway {

namespace {

using Row = std::vector<std::string>;

// Columns line up by characters, not bytes: a UTF-8 continuation byte takes no room.
std::size_t Width(const std::string& text) {
    std::size_t width = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80) ++width;
    return width;
}

std::string Table(const std::vector<Row>& rows) {
    std::vector<std::size_t> widths;
    for (const Row& row : rows)
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (widths.size() <= i) widths.push_back(0);
            widths[i] = std::max(widths[i], Width(row[i]));
        }
    std::string out;
    for (const Row& row : rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size()) line += std::string(widths[i] - Width(row[i]) + 2, ' ');
        }
        out += line + "\n";
    }
    return out;
}

}  // namespace

StatusReport ComposeStatusReport(App& app) {
    app.DataFilePath = app.style().join(app.ProgramFolder, "Stowaway.dat");
    LoadDataFile(app);
    const std::string statePath = RunStatePath(app.platform, app.ProgramFolder);
    const RunStateParse state = ReadRunState(app.platform, statePath);
    const std::time_t now = app.platform.now();
    auto when = [&](const std::optional<std::time_t>& at) {
        return at ? app.platform.shortDate(*at) + " " + app.platform.longTime(*at)
                  : std::string("never");
    };

    StatusReport report;
    std::vector<Row> rows = {
        {"CRATE", "SCHEDULE", "NEXT RUN", "LAST RUN", "RESULT", "LAST GOOD", "OVERDUE"}};
    std::string errors;
    for (short i = 0; i <= app.store.CrateMax && i <= MaxCrateIndex; ++i) {
        const std::string& name = app.store.CrateTable[static_cast<std::size_t>(i)].Name;
        if (name.empty()) continue;
        const ScheduleView schedule = ScheduleOf(app, name);
        const CrateRunState* run = state.table.find(name);
        const CrateRunState none;
        const CrateRunState& s = run ? *run : none;
        const int days = OverdueDays(app.platform, app.ProgramFolder, name);
        const bool overdue = IsOverdue(s, now, days);
        std::string result = "-";
        if (s.result == RunResult::Ok) result = "ok";
        if (s.result == RunResult::Failed) {
            result = s.failureStreak > 1 ? "failed (" + std::to_string(s.failureStreak) + " runs)"
                                         : "failed";
            errors += VisibleText(name) + ": " + VisibleText(s.error) + "\n";
        }
        std::string overdueText = "no";
        if (overdue)
            overdueText = "yes (over " + std::to_string(days) + " days)";
        else if (days <= 0)
            overdueText = "never checked";
        rows.push_back({VisibleText(name), schedule.schedule, schedule.nextRun, when(s.started),
                        result, when(s.lastGood), overdueText});
        report.allWell = report.allWell && !overdue && s.result != RunResult::Failed;
    }
    report.text = "Scheduler: " + SchedulerInUse(app) + "\n\n";
    report.text += rows.size() == 1 ? std::string("No Crates.\n") : Table(rows);
    if (!errors.empty()) report.text += "\nLast errors:\n" + errors;
    if (!state.problem.empty())
        report.text += "\n" + RunStateProblemText(statePath, state.problem) + "\n";
    return report;
}

int PrintStatus(App& app) {
    const StatusReport report = ComposeStatusReport(app);
    std::cout << report.text << std::flush;
    return report.allWell ? 0 : 1;
}

}  // namespace stowaway
