#include "engine/RunLog.h"

#include <fstream>

#include "engine/JobContext.h"
#include "platform/NativeText.h"
#include "platform/VisibleText.h"
#include "store/Version.h"

namespace stowaway {

namespace {

std::string Stamp(const JobContext& ctx) {
    std::time_t now = ctx.platform.now();
    return ctx.platform.shortDate(now) + " " + ctx.platform.longTime(now);
}

}  // namespace

std::string RunBanner(const JobContext& ctx, JobKind kind) {
    std::string banner =
        "Stowaway v" + std::to_string(VersionMajor) + "." + std::to_string(VersionMinor);
    if (kind == JobKind::Restore) return banner + " - Restore";
    return banner + (ctx.automated ? " - Automated Backup" : " - Standard Backup");
}

std::string RunStartLine(const JobContext& ctx, JobKind kind, std::int32_t filesToDo) {
    return "    Started on: " + Stamp(ctx) +
           (kind == JobKind::Restore ? " - Number of files to Restore: "
                                     : " - Number of files to Backup: ") +
           std::to_string(filesToDo);
}

std::string RunEndLine(const JobContext& ctx, JobKind kind, std::int32_t filesDone) {
    return "    Ended on: " + Stamp(ctx) +
           (kind == JobKind::Restore ? " - Number of files Restored: "
                                     : " - Number of files Backed up: ") +
           std::to_string(filesDone);
}

std::string RunCrateLine(const JobContext& ctx) {
    const short slot = ctx.store.CurrentIndex;
    if (slot < 0 || slot > MaxCrateIndex) return {};
    const CrateRecord& crate = ctx.store.CrateTable[static_cast<std::size_t>(slot)];
    if (crate.Name.empty()) return {};
    return "    Crate: " + VisibleText(crate.Name) +
           " - Archive: " + VisibleText(crate.BackupLocation);
}

std::string RunKeptNewerLine(std::int32_t keptNewer) {
    return "    Number of newer files Kept: " + std::to_string(keptNewer);
}

void AppendToRunLog(const JobContext& ctx, const std::vector<std::string>& lines) {
    const std::string& path = ctx.store.LogPath;
    std::ofstream log;
    // A NUL would cut the name short: such a path names no file.
    if (!path.empty() && !HoldsNul(path))
        log.open(toPath(ctx.platform.native(path)), std::ios::binary | std::ios::app);
    if (log) {
        for (const std::string& line : lines) log << line << "\r\n";
        log.flush();
    }
    if (log) return;
    if (ctx.job.LogFailureReported) return;
    ctx.job.LogFailureReported = true;
    ctx.ui.messageBox("The log file \"" + VisibleText(path) +
                          "\" cannot be opened for writing, so this run is not logged. Check "
                          "the Log File Path on the Program Options page.",
                      "Error", MsgButtons::OK, MsgIcon::Exclamation);
}

}  // namespace stowaway
