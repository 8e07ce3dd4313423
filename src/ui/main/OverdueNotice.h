#pragma once

#include <string>
#include <vector>

namespace stowaway {

class App;

// How long the window's start-up text stands before an overdue Crate is named.
inline constexpr int OverdueNoticeDelayMilliseconds = 4000;

// "Overdue backup: Photos (no good backup for 7 days or more)", or the names of
// several; empty for none.
std::string OverdueStatusText(const std::vector<std::string>& names, int days);

// Names the Crates of the list that are overdue on the status bar, unless the
// window has moved on from its start-up text (a job, a message of the load), and
// alerts on the desktop about each once per overdue spell. A damaged run-state
// file is told in a message box.
void NoteOverdueCrates(App& app);

}  // namespace stowaway
