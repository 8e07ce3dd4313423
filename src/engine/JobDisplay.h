#pragma once

#include <string>

namespace stowaway {

class App;
class ProgressBar;

// Where a job shows itself: the main window, or the automated backup's progress
// window while AbuMode is set.

// Replaces the status text (first panel of the status bar).
void ShowJobStatus(App& app, const std::string& text);
// The progress bar, 0 to 100.
ProgressBar& JobProgress(App& app);
// The hourglass: the main window's only; the automated mode has no pointer to change.
void SetJobBusy(App& app, bool busy);

}  // namespace stowaway
