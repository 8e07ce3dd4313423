#pragma once

#include <string>
#include <vector>

#include "ui/controls/Controls.h"
#include "ui/controls/TableControl.h"

namespace stowaway {

// The Schedule dialog of the Tools menu: every Crate with its schedule and its
// last runs; the selected Crate's schedule and overdue days can be changed.
class ScheduleForm : public Form {
  public:
    ScheduleForm() : Form("FrmSchedule", "Schedule", {0, 0, 880, 400}) { setVisible(false); }

    Label LblCrates{"LblCrates", "Crates and their schedules:", {8, 8, 300, 17}};
    TableControl TblSchedules{
        "TblSchedules",
        {"Crate", "Schedule", "Next run", "Last run", "Last result", "Last good backup", "Overdue"},
        {8, 28, 864, 188}};
    Label LblWhen{"LblWhen", "When to run it:", {8, 224, 240, 17}};
    TextBox TxtWhen{"TxtWhen", "", {8, 242, 240, 21}};
    Label LblOverdueDays{"LblOverdueDays", "Overdue after days (0: never):", {256, 224, 200, 17}};
    TextBox TxtOverdueDays{"TxtOverdueDays", "", {256, 242, 64, 21}};
    Button CmdApply{"CmdApply", "&Apply", {480, 240, 81, 25}};
    Button CmdRemove{"CmdRemove", "&Remove", {569, 240, 81, 25}};
    Button CmdClose{"CmdClose", "&Close", {791, 240, 81, 25}};
    Label LblWhenForms{"LblWhenForms",
                       "daily HH:MM; weekdays and a time (mon,thu HH:MM or mon-fri HH:MM); "
                       "every Nh (N divides 24); or off",
                       {8, 270, 864, 17}};
    Label LblScheduler{"LblScheduler", "", {8, 294, 864, 34}};
    Label LblMoved{"LblMoved", "", {8, 332, 752, 34}};
    Button CmdFixMoved{"CmdFixMoved", "&Fix Schedules", {768, 332, 104, 25}};
    Label LblMessage{"LblMessage", "", {8, 368, 864, 30}};

    std::vector<Control*> controls() {
        return {&LblCrates,      &TblSchedules, &LblWhen,   &TxtWhen,  &LblOverdueDays,
                &TxtOverdueDays, &CmdApply,     &CmdRemove, &CmdClose, &LblScheduler,
                &LblMoved,       &CmdFixMoved,  &LblMessage};
    }
    // The Crates in the table's order, as the window holds them.
    std::vector<std::string> crates;
};

}  // namespace stowaway
