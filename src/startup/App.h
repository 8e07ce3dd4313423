#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "store/CrateRecord.h"
#include "ui/controls/UiServices.h"
#include "ui/dialogs/AbuForm.h"
#include "ui/dialogs/ArgumentForm.h"
#include "ui/main/AboutForm.h"
#include "ui/main/MainForm.h"

namespace stowaway {

inline constexpr int VersionMajor = STOWAWAY_VERSION_MAJOR;
inline constexpr int VersionMinor = STOWAWAY_VERSION_MINOR;

// The one archiver job of the program: its line, work files and counters.
struct JobState {
    std::string ArchiverCommand;
    std::string ArchiverTail;
    std::string BatchPath;
    std::string OutputPath;
    std::int32_t FilesToDo = 0;
    std::int32_t FilesDone = 0;
    // A second job must not start while one runs.
    bool Running = false;
    // The walk met a folder or rule it could not read; the job reports an error.
    bool WalkFailed = false;
    // What the walk could not read, for the run log's error lines.
    std::vector<std::string> WalkErrors;
    // The log could not be opened; told to the user once per run of the program.
    bool LogFailureReported = false;

    // What every job clears when it starts.
    void startNew() {
        FilesToDo = 0;
        ArchiverCommand.clear();
        ArchiverTail.clear();
        WalkErrors.clear();
        WalkFailed = false;
    }
};

// The program's process-wide state: the store, the job, the form models and the
// values start-up prepares. Every operation is handed the one instance.
class App {
  public:
    App(Platform& platformLayer, UiServices& uiServices) : platform(platformLayer), ui(uiServices) {
        ProgramFolder = platform.programFolder();
    }
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    Platform& platform;
    UiServices& ui;
    const PathStyle& style() const { return platform.style(); }

    // Values of start-up.
    std::string CommandLine;
    std::string AbuCrateName;
    std::string ProgramFolder;
    std::string DataFilePath;
    std::string WindowsDir;

    bool AbuMode = false;
    bool IncludeMode = true;
    bool AfterMode = true;
    bool ListUpdating = false;

    CrateStore store;
    JobState job;

    MainForm FrmMain;
    AbuForm FrmABU;
    ArgumentForm FrmArgument;
    AboutForm FrmAbout;

    // A file beside the program: ProgramFolder, a separator unless it already ends
    // in one, the name. (The data file always inserts the separator.)
    std::string programFile(const std::string& name) const {
        return style().joinOnce(ProgramFolder, name);
    }
};

}  // namespace stowaway
