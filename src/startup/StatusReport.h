#pragma once

#include <string>

namespace stowaway {

class App;

// "--status": one line per Crate of the data file with its schedule, next run,
// last run, last result, last good backup and whether it is overdue, after the
// scheduler in use; a failed Crate's error line follows the table.
struct StatusReport {
    std::string text;
    bool allWell = true;  // no Crate overdue, none whose last run failed
};

// Loads the data file and the run state of the App's program folder.
StatusReport ComposeStatusReport(App& app);

// The program's "--status": prints the report; 0 when all is well, 1 otherwise.
int PrintStatus(App& app);

}  // namespace stowaway
