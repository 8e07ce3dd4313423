#include "engine/Runner.h"

#include <fstream>
#include <vector>

#include "engine/ArchiverCommands.h"
#include "engine/JobContext.h"
#include "engine/JobGuard.h"
#include "engine/OutputScan.h"
#include "engine/ProcessWait.h"
#include "engine/RunLog.h"
#include "engine/encryption/CratePassword.h"
#include "platform/NativeText.h"
#include "platform/Text.h"
#include "platform/VisibleText.h"

namespace stowaway {

namespace {

std::string EchoLine(const JobContext& ctx) {
    switch (ctx.output()) {
        case OutputMode::Shown:
            return "@ECHO ON\r\n";
        case OutputMode::Captured:
            return "@ECHO OFF\r\n";
        default:
            return {};
    }
}

bool WriteBatch(const JobContext& ctx, const std::string& batchPath, const std::string& text) {
    std::ofstream out(toPath(ctx.platform.native(batchPath)), std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    return static_cast<bool>(out);
}

// "Backup of Documents - Stowaway": one console window per Crate and job.
std::string ConsoleTitle(const JobContext& ctx, JobKind kind) {
    std::string title = kind == JobKind::Restore ? "Restore" : "Backup";
    const short slot = ctx.store.CurrentIndex;
    if (slot >= 0 && slot <= MaxCrateIndex) {
        const std::string& name = ctx.store.CrateTable[static_cast<std::size_t>(slot)].Name;
        if (!name.empty()) title += " of " + name;
    }
    return title + " - Stowaway";
}

void AddErrorLines(std::vector<std::string>& log, const std::vector<std::string>& texts) {
    for (const std::string& text : texts) log.push_back(LogErrorPrefix + text);
}

}  // namespace

std::string ArchiverLine(const JobContext& ctx) {
    return ctx.style().foldCase(Trim(ctx.job.ArchiverCommand) + " " + Trim(ctx.job.ArchiverTail));
}

bool RunArchiver(const JobContext& ctx, const std::string& batchPath, const std::string& outputPath,
                 JobKind kind, const std::string* line) {
    JobGuard guard(ctx);
    if (!guard) return false;
    return RunArchiverInJob(ctx, batchPath, outputPath, kind, line);
}

bool RunArchiverInJob(const JobContext& ctx, const std::string& batchPath,
                      const std::string& outputPath, JobKind kind, const std::string* line) {
    const std::string text = line ? ctx.style().foldCase(*line) : ArchiverLine(ctx);
    const bool captured = ctx.outputCaptured();
    const bool batchWritten = WriteBatch(ctx, batchPath, EchoLine(ctx) + text + "\r\n");

    ctx.display.showStatus("Working...");
    const std::string command = InterpreterCommand(batchPath);
    const bool showConsole = !captured;
    if (showConsole) {
        ctx.display.showCommand(command);
        ctx.ui.consoleStarted(ConsoleTitle(ctx, kind), command);
    }
    const WindowStyle window = showConsole ? WindowStyle::NormalFocus : WindowStyle::Hidden;
    long pid = 0;
    if (batchWritten && ctx.job.Password.empty())
        pid = ctx.platform.startProcess(command, window);
    else if (batchWritten)
        pid = ctx.platform.startProcessWithSecret(command, window, PasswordDescriptor,
                                                  ctx.job.Password.view());
    // It is in the pipe now, or the run did not start: either way no longer needed.
    ctx.job.Password.clear();

    std::vector<std::string> opening = {RunBanner(ctx, kind),
                                        RunStartLine(ctx, kind, ctx.job.FilesToDo)};
    if (std::string crate = RunCrateLine(ctx); !crate.empty()) opening.push_back(crate);
    AppendToRunLog(ctx, opening);

    std::vector<std::string> startErrors;
    if (!batchWritten)
        startErrors.push_back("The batch file " + batchPath + " cannot be written.");
    else if (pid == 0)
        startErrors.push_back("The command interpreter could not be started: " + command);

    const std::string nativeOutput = ctx.platform.native(outputPath);
    ArchiverOutputScan scan(kind, ctx.job.ToleratedWarning);
    // A shown console's text, only to tell a warning this job caused from others.
    ArchiverOutputScan consoleScan(kind, ctx.job.ToleratedWarning);
    std::uint32_t exitStatus = 0;
    if (pid != 0) {
        exitStatus = WaitForProcess(
            ctx, pid, showConsole,
            [&] {
                if (!captured) return;
                scan.feed(nativeOutput);
                ctx.job.FilesDone = scan.filesDone();
                MoveJobProgress(ctx, scan.filesDone(), ctx.job.FilesToDo);
            },
            [&](const std::string& shown) { consoleScan.feedText(shown); });
    }
    // The closing scan: whatever the archiver added last, then its final line.
    scan.feed(nativeOutput);
    scan.finish();
    consoleScan.finish();
    // Warnings this job caused itself and nothing else: the run went well.
    const ArchiverOutputScan& seen = captured ? scan : consoleScan;
    if (exitStatus == ArchiverWarningStatus && seen.toleratedWarnings() > 0 && seen.ok())
        exitStatus = 0;
    MoveJobProgress(ctx, scan.filesDone(), ctx.job.FilesToDo);
    // A file is backed up only once the new archive has replaced the old one; a
    // run that ended on a fatal status (2, or a signal) left the old archive.
    const bool replaced = kind != JobKind::Backup || exitStatus <= ArchiverWarningStatus;
    ctx.job.FilesDone = replaced ? scan.filesDone() : 0;

    // An archiver that failed without an error line (it crashed, or could not be
    // started by the interpreter, or its output went to the console) must not
    // pass for a success.
    if (exitStatus != 0 && scan.ok() && startErrors.empty())
        startErrors.push_back("The archiver ended with status " + std::to_string(exitStatus) +
                              " without reporting why.");

    std::vector<std::string> log;
    AddErrorLines(log, ctx.job.WalkErrors);
    AddErrorLines(log, startErrors);
    AddErrorLines(log, scan.errors());
    for (const std::vector<std::string>* texts :
         std::initializer_list<const std::vector<std::string>*>{&ctx.job.WalkErrors, &startErrors,
                                                                &scan.errors()})
        ctx.job.RunErrors.insert(ctx.job.RunErrors.end(), texts->begin(), texts->end());
    for (const std::string& note : scan.notes()) log.push_back("    " + note);
    if (scan.keptNewer() > 0) log.push_back(RunKeptNewerLine(scan.keptNewer()));
    log.push_back(RunEndLine(ctx, kind, ctx.job.FilesDone));
    AppendToRunLog(ctx, log);
    // A log path that names no file leaves the run unrecorded: not a success.
    const bool logged = !HoldsNul(ctx.store.LogPath);
    return scan.ok() && startErrors.empty() && ctx.job.WalkErrors.empty() && logged;
}

bool ScanArchiverOutput(const JobContext& ctx, const std::string& outputPath, JobKind kind) {
    ArchiverOutputScan scan(kind);
    scan.feed(ctx.platform.native(outputPath));
    scan.finish();
    ctx.job.FilesDone = scan.filesDone();
    MoveJobProgress(ctx, scan.filesDone(), ctx.job.FilesToDo);
    if (!scan.ok()) {
        std::vector<std::string> log;
        AddErrorLines(log, scan.errors());
        AppendToRunLog(ctx, log);
    }
    return scan.ok();
}

namespace {
// The viewer opens its own window; it is not waited for.
void StartViewer(const JobContext& ctx, const std::string& path, const std::string& failure) {
    if (ctx.platform.startProcess(ctx.store.LogViewer + " " + path, WindowStyle::Hidden) == 0)
        ctx.ui.messageBox(failure, "Error", MsgButtons::OK, MsgIcon::Information);
}
}  // namespace

void ViewLog(const JobContext& ctx) {
    StartViewer(ctx, ctx.store.LogPath,
                "Log File Viewer is invalid. You must manually open the log file if you wish to "
                "view it.");
}

void ViewArchiverOutput(const JobContext& ctx) {
    StartViewer(ctx, ctx.programFile("SWTemp.dat"),
                "Text Viewer is invalid. You must manually open the PKZIP log file if you wish "
                "to view it.");
}

}  // namespace stowaway
