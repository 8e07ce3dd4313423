#include "engine/RunLog.h"

#include <fstream>

#include "platform/VisibleText.h"
#include "startup/App.h"

namespace stowaway {

namespace {

std::string Stamp(const App& app) {
    std::time_t now = app.platform.now();
    return app.platform.shortDate(now) + " " + app.platform.longTime(now);
}

}  // namespace

std::string RunBanner(const App& app, JobKind kind) {
    std::string banner =
        "Stowaway v" + std::to_string(VersionMajor) + "." + std::to_string(VersionMinor);
    if (kind == JobKind::Restore) return banner + " - Restore";
    return banner + (app.AbuMode ? " - Automated Backup" : " - Standard Backup");
}

std::string RunStartLine(const App& app, JobKind kind, std::int32_t filesToDo) {
    return "    Started on: " + Stamp(app) +
           (kind == JobKind::Restore ? " - Number of files to Restore: "
                                     : " - Number of files to Backup: ") +
           std::to_string(filesToDo);
}

std::string RunEndLine(const App& app, JobKind kind, std::int32_t filesDone) {
    return "    Ended on: " + Stamp(app) +
           (kind == JobKind::Restore ? " - Number of files Restored: "
                                     : " - Number of files Backed up: ") +
           std::to_string(filesDone);
}

void AppendToRunLog(App& app, const std::vector<std::string>& lines) {
    const std::string& path = app.store.LogPath;
    std::ofstream log;
    // A NUL would cut the name short: such a path names no file.
    if (!path.empty() && !HoldsNul(path)) log.open(app.platform.native(path), std::ios::binary | std::ios::app);
    if (log) {
        for (const std::string& line : lines) log << line << "\r\n";
        log.flush();
    }
    if (log) return;
    if (app.job.LogFailureReported) return;
    app.job.LogFailureReported = true;
    app.ui.messageBox("The log file \"" + VisibleText(path) +
                          "\" cannot be opened for writing, so this run is not logged. Check "
                          "the Log File Path on the Program Options page.",
                      "Error", MsgButtons::OK, MsgIcon::Exclamation);
}

}  // namespace stowaway
