#include "ui/schedule/ScheduleCommands.h"

#include <charconv>

#include "engine/schedule/CrateSchedules.h"
#include "platform/Text.h"
#include "startup/App.h"
#include "store/RunStateFile.h"
#include "store/settings/CrateSettings.h"
#include "store/settings/SettingsFile.h"
#include "ui/schedule/ScheduleRows.h"

namespace stowaway {

namespace {

constexpr const char* Title = "Schedule";

void Warn(App& app, const std::string& text) {
    app.FrmSchedule.LblMessage.setCaption(text);
    app.ui.messageBox(text, Title, MsgButtons::OK, MsgIcon::Exclamation);
}

std::vector<std::string> CrateNames(const App& app) {
    std::vector<std::string> names;
    for (int s = 0; s <= app.store.CrateMax && s <= MaxCrateIndex; ++s) {
        const std::string& name = app.store.CrateTable[static_cast<std::size_t>(s)].Name;
        if (!name.empty()) names.push_back(name);
    }
    return names;
}

std::string SelectedCrate(const App& app) {
    const ScheduleForm& f = app.FrmSchedule;
    const int row = f.TblSchedules.selected();
    if (row < 0 || row >= static_cast<int>(f.crates.size())) return {};
    return f.crates[static_cast<std::size_t>(row)];
}

Scheduler* ChosenScheduler(App& app) {
    std::string error;
    Scheduler* scheduler = app.schedulerChoice().scheduler(error);
    if (!scheduler) Warn(app, error);
    return scheduler;
}

std::string SchedulerText(const Scheduler& scheduler) {
    if (scheduler.catchesUp())
        return "Schedules run through the user's systemd timers: a run the computer missed while "
               "it was off or asleep runs as soon as it is back.";
    return "Schedules run through cron (no systemd user manager answered). Cron does not catch "
           "up: a run missed while the computer was off or asleep is skipped.";
}

}  // namespace

void RefreshScheduleDialog(App& app) {
    ScheduleForm& f = app.FrmSchedule;
    const std::string selected = SelectedCrate(app);
    const SettingsLoad settings = LoadSettings(app.platform, app.settingsPath());
    const std::string statePath = RunStatePath(app.platform, app.ProgramFolder);
    const RunStateParse runs = ReadRunState(app.platform, statePath);
    f.crates = CrateNames(app);
    std::vector<TableControl::Row> rows;
    int again = -1;
    for (const std::string& crate : f.crates) {
        if (EqualsIgnoreCase(crate, selected)) again = static_cast<int>(rows.size());
        rows.push_back(ScheduleRow(crate, settings.settings, runs.table, app.platform.now()));
    }
    f.TblSchedules.setRows(std::move(rows));
    std::string problems;
    if (!settings.problems.empty())
        problems = SettingsProblemText(app.settingsPath(), settings.problems);
    if (!runs.problem.empty())
        problems += (problems.empty() ? "" : "\n") + RunStateProblemText(statePath, runs.problem);
    if (!problems.empty()) f.LblMessage.setCaption(problems);
    f.TblSchedules.select(again >= 0 ? again : (f.crates.empty() ? -1 : 0));
}

void OpenScheduleDialog(App& app) {
    ScheduleForm& f = app.FrmSchedule;
    f.LblMessage.setCaption("");
    f.LblMoved.setCaption("");
    f.CmdFixMoved.setVisible(false);
    RefreshScheduleDialog(app);
    f.show();
    Scheduler* scheduler = ChosenScheduler(app);
    if (!scheduler) return;
    f.LblScheduler.setCaption(SchedulerText(*scheduler));
    std::string error;
    const std::vector<InstalledSchedule> moved =
        MovedSchedules(app.scheduleContext(*scheduler), error);
    if (!error.empty()) f.LblMessage.setCaption(error);
    if (!moved.empty()) {
        f.LblMoved.setCaption(std::to_string(moved.size()) +
                              (moved.size() == 1 ? " schedule runs " : " schedules run ") +
                              "a program that is not there any more (" + moved.front().program +
                              "): the program's folder moved. Fix them to run this one.");
        f.CmdFixMoved.setVisible(true);
    }
}

void ShowSelectedSchedule(App& app) {
    ScheduleForm& f = app.FrmSchedule;
    const std::string crate = SelectedCrate(app);
    const bool any = !crate.empty();
    for (Control* c :
         std::initializer_list<Control*>{&f.TxtWhen, &f.TxtOverdueDays, &f.CmdApply, &f.CmdRemove})
        c->setEnabled(any);
    if (!any) {
        f.TxtWhen.setText("");
        f.TxtOverdueDays.setText("");
        return;
    }
    const Settings settings = LoadSettings(app.platform, app.settingsPath()).settings;
    f.TxtWhen.setText(FormatSchedule(CrateSchedule(settings, crate)));
    f.TxtOverdueDays.setText(std::to_string(CrateOverdueDays(settings, crate)));
}

void ApplySelectedSchedule(App& app) {
    ScheduleForm& f = app.FrmSchedule;
    const std::string crate = SelectedCrate(app);
    if (crate.empty()) return;
    const ScheduleParse parse = ParseSchedule(f.TxtWhen.text());
    if (!parse.schedule) {
        Warn(app, "The schedule of " + crate + " was not changed: " + parse.error + ".");
        return;
    }
    const std::string daysText = Trim(f.TxtOverdueDays.text());
    int days = -1;
    const auto [end, ec] =
        std::from_chars(daysText.data(), daysText.data() + daysText.size(), days);
    if (ec != std::errc{} || end != daysText.data() + daysText.size() || days < 0 || days > 3650) {
        Warn(app, "The schedule of " + crate + " was not changed: the overdue days \"" + daysText +
                      "\" are not a whole number from 0 to 3650.");
        return;
    }
    Scheduler* scheduler = ChosenScheduler(app);
    if (!scheduler) return;
    std::string error;
    if (!SetCrateScheduleEverywhere(app.scheduleContext(*scheduler), crate, *parse.schedule, error,
                                    [&](Settings& s) { SetCrateOverdueDays(s, crate, days); })) {
        Warn(app, "The schedule of " + crate + " was not changed: " + error);
        return;
    }
    RefreshScheduleDialog(app);
    f.LblMessage.setCaption(parse.schedule->kind == ScheduleKind::Off
                                ? crate + " runs by itself no more."
                                : crate + " is scheduled: " + FormatSchedule(*parse.schedule) +
                                      ".");
}

void RemoveSelectedSchedule(App& app) {
    ScheduleForm& f = app.FrmSchedule;
    if (SelectedCrate(app).empty()) return;
    f.TxtWhen.setText("off");
    ApplySelectedSchedule(app);
}

void FixMovedSchedulesCommand(App& app) {
    ScheduleForm& f = app.FrmSchedule;
    Scheduler* scheduler = ChosenScheduler(app);
    if (!scheduler) return;
    std::string error;
    const int fixed = FixMovedSchedules(app.scheduleContext(*scheduler), error);
    RefreshScheduleDialog(app);
    if (!error.empty()) {
        Warn(app, error);
        return;
    }
    f.LblMoved.setCaption("");
    f.CmdFixMoved.setVisible(false);
    f.LblMessage.setCaption(std::to_string(fixed) +
                            (fixed == 1 ? " schedule runs" : " schedules run") +
                            " this program now.");
}

void ConnectScheduleForm(App& app) {
    ScheduleForm& f = app.FrmSchedule;
    App* a = &app;
    f.TblSchedules.onSelect = [a] { ShowSelectedSchedule(*a); };
    f.CmdApply.onClick = [a] { ApplySelectedSchedule(*a); };
    f.CmdRemove.onClick = [a] { RemoveSelectedSchedule(*a); };
    f.CmdFixMoved.onClick = [a] { FixMovedSchedulesCommand(*a); };
    f.CmdClose.onClick = [&f] { f.hide(); };
}

void FollowCrateRename(App& app, const std::string& from, const std::string& to) {
    if (from == to) return;
    const SettingsLoad load = LoadSettings(app.platform, app.settingsPath());
    if (!load.unreadable && !load.settings.hasCrate(from)) return;
    std::string error;
    Scheduler* scheduler = app.schedulerChoice().scheduler(error);
    if (scheduler && RenameCrateSchedule(app.scheduleContext(*scheduler), from, to, error)) return;
    app.ui.messageBox("The schedule of the Crate " + from +
                          " could not follow it to its new name " + to + ": " + error,
                      Title, MsgButtons::OK, MsgIcon::Exclamation);
}

void FollowCrateDelete(App& app, const std::string& crate) {
    const SettingsLoad load = LoadSettings(app.platform, app.settingsPath());
    if (!load.unreadable && !load.settings.hasCrate(crate)) return;
    std::string error;
    Scheduler* scheduler = app.schedulerChoice().scheduler(error);
    if (scheduler && DeleteCrateSchedule(app.scheduleContext(*scheduler), crate, error)) return;
    app.ui.messageBox(
        "The schedule of the deleted Crate " + crate + " could not be removed: " + error, Title,
        MsgButtons::OK, MsgIcon::Exclamation);
}

}  // namespace stowaway
