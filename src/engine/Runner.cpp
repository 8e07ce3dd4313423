#include "engine/Runner.h"

#include <fstream>
#include <vector>

#include "engine/ArchiverCommands.h"
#include "engine/JobDisplay.h"
#include "engine/JobGuard.h"
#include "engine/OutputScan.h"
#include "engine/ProcessWait.h"
#include "engine/RunLog.h"
#include "platform/Text.h"
#include "platform/VisibleText.h"
#include "startup/App.h"

namespace stowaway {

namespace {

bool OutputCaptured(const App& app) {
    return app.AbuMode || app.FrmMain.ChkHideOutput.value() == CheckBox::Checked;
}

std::string EchoLine(const App& app) {
    if (app.AbuMode) return "@ECHO OFF\r\n";
    switch (app.FrmMain.ChkHideOutput.value()) {
        case CheckBox::Unchecked:
            return "@ECHO ON\r\n";
        case CheckBox::Checked:
            return "@ECHO OFF\r\n";
        default:
            return {};
    }
}

bool WriteBatch(const App& app, const std::string& batchPath, const std::string& text) {
    std::ofstream out(app.platform.native(batchPath), std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    return static_cast<bool>(out);
}

void AddErrorLines(std::vector<std::string>& log, const std::vector<std::string>& texts) {
    for (const std::string& text : texts) log.push_back(LogErrorPrefix + text);
}

}  // namespace

std::string ArchiverLine(const App& app) {
    return app.style().foldCase(Trim(app.job.ArchiverCommand) + " " + Trim(app.job.ArchiverTail));
}

bool RunArchiver(App& app, const std::string& batchPath, const std::string& outputPath,
                 JobKind kind, const std::string* line) {
    JobGuard guard(app);
    if (!guard) return false;
    return RunArchiverInJob(app, batchPath, outputPath, kind, line);
}

bool RunArchiverInJob(App& app, const std::string& batchPath, const std::string& outputPath,
                      JobKind kind, const std::string* line) {
    const std::string text = line ? app.style().foldCase(*line) : ArchiverLine(app);
    const bool captured = OutputCaptured(app);
    const bool batchWritten = WriteBatch(app, batchPath, EchoLine(app) + text + "\r\n");

    ShowJobStatus(app, "Working...");
    const std::string command = InterpreterCommand(batchPath);
    const bool showConsole = !captured;
    if (showConsole) {
        app.FrmMain.TxtDebug.setText(command);
        app.ui.consoleStarted(command);
    }
    const WindowStyle window = showConsole ? WindowStyle::NormalFocus : WindowStyle::Hidden;
    const long pid = batchWritten ? app.platform.startProcess(command, window) : 0;

    AppendToRunLog(app, {RunBanner(app, kind), RunStartLine(app, kind, app.job.FilesToDo)});

    std::vector<std::string> startErrors;
    if (!batchWritten)
        startErrors.push_back("The batch file " + batchPath + " cannot be written.");
    else if (pid == 0)
        startErrors.push_back("The command interpreter could not be started: " + command);

    const std::string nativeOutput = app.platform.native(outputPath);
    ArchiverOutputScan scan(kind);
    std::uint32_t exitStatus = 0;
    if (pid != 0) {
        exitStatus = WaitForProcess(app, pid, showConsole, [&] {
            if (!captured) return;
            scan.feed(nativeOutput);
            app.job.FilesDone = scan.filesDone();
            MoveJobProgress(app, scan.filesDone(), app.job.FilesToDo);
        });
    }
    // The closing scan: whatever the archiver added last, then its final line.
    scan.feed(nativeOutput);
    scan.finish();
    app.job.FilesDone = scan.filesDone();
    MoveJobProgress(app, scan.filesDone(), app.job.FilesToDo);

    // An archiver that failed without an error line (it crashed, or could not be
    // started by the interpreter, or its output went to the console) must not
    // pass for a success.
    if (exitStatus != 0 && scan.ok() && startErrors.empty())
        startErrors.push_back("The archiver ended with status " + std::to_string(exitStatus) +
                              " without reporting why.");

    std::vector<std::string> log;
    AddErrorLines(log, app.job.WalkErrors);
    AddErrorLines(log, startErrors);
    AddErrorLines(log, scan.errors());
    log.push_back(RunEndLine(app, kind, app.job.FilesDone));
    AppendToRunLog(app, log);
    // A log path that names no file leaves the run unrecorded: not a success.
    const bool logged = !HoldsNul(app.store.LogPath);
    return scan.ok() && startErrors.empty() && app.job.WalkErrors.empty() && logged;
}

bool ScanArchiverOutput(App& app, const std::string& outputPath, JobKind kind) {
    ArchiverOutputScan scan(kind);
    scan.feed(app.platform.native(outputPath));
    scan.finish();
    app.job.FilesDone = scan.filesDone();
    MoveJobProgress(app, scan.filesDone(), app.job.FilesToDo);
    if (!scan.ok()) {
        std::vector<std::string> log;
        AddErrorLines(log, scan.errors());
        AppendToRunLog(app, log);
    }
    return scan.ok();
}

namespace {
// The viewer opens its own window; it is not waited for.
void StartViewer(App& app, const std::string& path, const std::string& failure) {
    if (app.platform.startProcess(app.store.LogViewer + " " + path, WindowStyle::Hidden) == 0)
        app.ui.messageBox(failure, "Error", MsgButtons::OK, MsgIcon::Information);
}
}  // namespace

void ViewLog(App& app) {
    StartViewer(app, app.store.LogPath,
                "Log File Viewer is invalid. You must manually open the log file if you wish to "
                "view it.");
}

void ViewArchiverOutput(App& app) {
    StartViewer(app, app.programFile("SWTemp.dat"),
                "Text Viewer is invalid. You must manually open the PKZIP log file if you wish "
                "to view it.");
}

}  // namespace stowaway
