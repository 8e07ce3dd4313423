#include "engine/versions/KeepStep.h"

#include "engine/JobContext.h"
#include "engine/RunLog.h"
#include "store/settings/SettingsFile.h"

namespace stowaway {

namespace {

constexpr const char* VersionsPrefix = "    Versions: ";

void Log(const JobContext& ctx, const std::vector<std::string>& lines) {
    if (lines.empty()) return;
    std::vector<std::string> prefixed;
    for (const std::string& line : lines) prefixed.push_back(VersionsPrefix + line);
    AppendToRunLog(ctx, prefixed);
}

}  // namespace

KeepRun BeginKeeping(const JobContext& ctx, const std::string& crateName,
                     const std::string& archivePath) {
    KeepRun run;
    const SettingsLoad load =
        LoadSettings(ctx.platform, SettingsPath(ctx.style(), ctx.ProgramFolder));
    std::string problem;
    run.policy = CrateKeepPolicy(load.settings, crateName, &problem);
    std::vector<std::string> log;
    if (!problem.empty()) log.push_back("In the settings file, " + problem + ".");
    if (run.policy.on && SplitArchiveName(archivePath, ctx.style().separator(), run.name)) {
        run.active = true;
        run.links = LinkPreviousArchive(ctx.platform, run.name, log);
        // The archiver warns that the old archive has a second name: that one is ours.
        if (!run.links.links.empty() && run.links.kept.links == 1)
            ctx.job.ToleratedWarning =
                " had 1 other hard link(s); they keep the old archive, "
                "only this name has the new one";
    }
    Log(ctx, log);
    return run;
}

void FinishKeeping(const JobContext& ctx, const KeepRun& run, bool backupSucceeded) {
    ctx.job.ToleratedWarning.clear();
    if (!run.active) return;
    std::vector<std::string> log;
    SettleKeptLinks(ctx.platform, run.name, run.links, backupSucceeded, log);
    // A failed run deletes nothing: its archive may be the one that failed.
    if (backupSucceeded) {
        const PrunePlan plan = PlanPrune(ctx.platform, run.name, run.policy);
        ApplyPrune(ctx.platform, plan, log);
    }
    Log(ctx, log);
}

}  // namespace stowaway
