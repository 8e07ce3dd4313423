#include "ui/main/OverdueNotice.h"

#include "engine/OverdueDays.h"
#include "engine/RecordedBackup.h"
#include "engine/RunLog.h"
#include "platform/VisibleText.h"
#include "startup/App.h"
#include "ui/main/MainFormLoad.h"

namespace stowaway {

std::string OverdueStatusText(const std::vector<std::string>& names, int days) {
    if (names.empty()) return {};
    if (names.size() == 1)
        return "Overdue backup: " + VisibleText(names[0]) + " (no good backup for " +
               std::to_string(days) + " days or more)";
    std::string text = "Overdue backups: ";
    for (std::size_t i = 0; i < names.size(); ++i) text += (i ? ", " : "") + VisibleText(names[i]);
    return text;
}

void NoteOverdueCrates(App& app) {
    const std::vector<std::string> names = app.FrmMain.LstCrate.items();
    const JobContext ctx = app.jobContext();
    std::vector<std::string> notes;
    std::string problem;
    const std::vector<std::string> overdue = CheckOverdueCrates(ctx, names, notes, &problem);
    if (!notes.empty()) AppendToRunLog(ctx, notes);
    // The Crates are loaded whatever the run state holds; the user hears of it once.
    if (!problem.empty())
        app.ui.messageBox(problem, "Problem with Stowaway.state", MsgButtons::OK,
                          MsgIcon::Exclamation);
    if (overdue.empty() || app.job.Running || app.FrmMain.StBMain.panelText() != LoadedStatusText)
        return;
    app.FrmMain.StBMain.setPanelText(
        OverdueStatusText(overdue, OverdueDays(app.platform, app.ProgramFolder, overdue.front())));
}

}  // namespace stowaway
