#pragma once

#include <memory>
#include <string>

#include "engine/JobContext.h"
#include "engine/JobState.h"
#include "engine/schedule/CrateSchedules.h"
#include "engine/schedule/SchedulerChoice.h"
#include "platform/Notifier.h"
#include "platform/Platform.h"
#include "store/CrateRecord.h"
#include "store/StoreContext.h"
#include "store/Version.h"
#include "store/settings/SettingsFile.h"
#include "ui/browse/BrowseForm.h"
#include "ui/controls/UiServices.h"
#include "ui/dialogs/AbuForm.h"
#include "ui/dialogs/AbuJobDisplay.h"
#include "ui/dialogs/ArgumentForm.h"
#include "ui/encryption/EncryptionForm.h"
#include "ui/main/AboutForm.h"
#include "ui/main/MainForm.h"
#include "ui/main/MainJobDisplay.h"
#include "ui/schedule/ScheduleForm.h"

namespace stowaway {

// The program's process-wide state: the store, the job, the form models and the
// values start-up prepares. It owns everything and wires the pieces: the user
// interface's commands take it and hand the store and the jobs only their
// contexts.
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
    // Desktop alerts of backups that fail or fall behind; tests put in their own.
    std::unique_ptr<Notifier> notifier = MakeDesktopNotifier();
    // Encrypted Crates' passwords; tests put in their own.
    std::unique_ptr<Keyring> keyring = MakeDesktopKeyring();
    int RunLockWaitMilliseconds = DefaultRunLockWaitMilliseconds;
    int WorkLockWaitMilliseconds = DefaultWorkLockWaitMilliseconds;

    MainForm FrmMain;
    AbuForm FrmABU;
    ArgumentForm FrmArgument;
    AboutForm FrmAbout;
    ScheduleForm FrmSchedule;
    BrowseForm FrmBrowse;
    // How the browser restores chosen files; tests put in a scripted one.
    std::unique_ptr<FileRestorer> fileRestorer;
    EncryptionForm FrmEncryption;

    MainJobDisplay mainDisplay{FrmMain, ui};
    AbuJobDisplay abuDisplay{FrmABU};

    // The job's display follows the mode: the progress window once the automated
    // backup has found its Crate, the main window otherwise.
    JobContext jobContext() {
        JobDisplay& display = AbuMode ? static_cast<JobDisplay&>(abuDisplay) : mainDisplay;
        return JobContext{platform,
                          ui,
                          display,
                          store,
                          job,
                          ProgramFolder,
                          AbuMode,
                          notifier.get(),
                          RunLockWaitMilliseconds,
                          WorkLockWaitMilliseconds,
                          keyring.get()};
    }
    StoreContext storeContext() {
        return StoreContext{platform, ui, store, ProgramFolder, DataFilePath, WindowsDir};
    }

    // Where the schedulers' OS parts come from; tests put fakes in before the
    // first schedulerChoice().
    SchedulerHooks schedulerHooks;
    SchedulerChoice& schedulerChoice() {
        if (!schedulerChoice_)
            schedulerChoice_ = std::make_unique<SchedulerChoice>(platform, schedulerHooks);
        return *schedulerChoice_;
    }
    std::string settingsPath() const { return SettingsPath(style(), ProgramFolder); }
    ScheduleContext scheduleContext(Scheduler& scheduler) {
        return ScheduleContext{platform, scheduler, settingsPath(),
                               style().join(ProgramFolder, "stowaway")};
    }

    // A file beside the program: ProgramFolder, a separator unless it already ends
    // in one, the name. (The data file always inserts the separator.)
    std::string programFile(const std::string& name) const {
        return style().joinOnce(ProgramFolder, name);
    }

  private:
    std::unique_ptr<SchedulerChoice> schedulerChoice_;
};

}  // namespace stowaway
