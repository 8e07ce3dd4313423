#pragma once

#include <functional>
#include <string>

#include "engine/JobState.h"
#include "platform/Notifier.h"
#include "platform/Platform.h"
#include "platform/secrets/Keyring.h"
#include "platform/secrets/SecretText.h"
#include "store/CrateRecord.h"
#include "store/MessageBoxes.h"

namespace stowaway {

// What a job needs of the user interface besides its display: message boxes,
// a live window while it waits, and a console for a run whose output is shown.
class JobServices : public MessageBoxes {
  public:
    // Lets the window repaint and handle input during long work.
    virtual void processEvents() = 0;
    // A console window for a program started in a normal window: one per title
    // (the Crate and the job), started afresh by each run with the command that
    // was started, then fed what the program writes.
    virtual void consoleStarted(const std::string& title, const std::string& commandLine) = 0;
    virtual void consoleOutput(const std::string& text) = 0;
    // Where the lines the user types into the newest console go while its program
    // runs (an archiver asking for the next disk); empty once it has ended.
    virtual void consoleInput(std::function<bool(const std::string&)> send) { (void)send; }
    // Asks for a password, its typing hidden; false when nobody can answer or the
    // person cancelled. The text goes straight into the caller's SecretText.
    virtual bool askPassword(const std::string& prompt, const std::string& title,
                             SecretText& password) {
        (void)prompt;
        (void)title;
        (void)password;
        return false;
    }
};

// What becomes of the archiver's console output: the "Hide PKZIP Output" box
// ticked (captured), clear (shown), or neither.
enum class OutputMode { Shown, Captured, Unset };

// Where a job shows itself: the main window, or the automated backup's progress
// window. Each new status text replaces the last.
class JobDisplay {
  public:
    virtual ~JobDisplay() = default;
    virtual void showStatus(const std::string& text) = 0;
    // The progress bar, 0 to 100.
    virtual double progress() const = 0;
    virtual void setProgress(double value) = 0;
    // The hourglass while a job runs.
    virtual void setBusy(bool busy) = 0;
    // The interpreter's command line of a run whose console is shown.
    virtual void showCommand(const std::string& commandLine) = 0;
    // What becomes of the archiver's console output when the job is not automated.
    virtual OutputMode outputMode() const = 0;
};

// How long a run waits for another run of the same Crate before it gives up.
inline constexpr int DefaultRunLockWaitMilliseconds = 5 * 60 * 1000;
// How long an automated run waits for another job of the program folder (another
// Crate's backup): long, since two Crates scheduled alike both mean to run.
inline constexpr int DefaultWorkLockWaitMilliseconds = 6 * 60 * 60 * 1000;

// Everything a job works with: the OS, the user interface, the Crates, the one
// job's state and how it was started.
struct JobContext {
    Platform& platform;
    JobServices& ui;
    JobDisplay& display;
    CrateStore& store;
    JobState& job;
    std::string ProgramFolder;
    // The automated backup: its own banner, output always captured.
    bool automated = false;
    // Where alerts go; none: no alerts.
    Notifier* notifier = nullptr;
    // How long a backup waits for another run of its Crate.
    int runLockWaitMilliseconds = DefaultRunLockWaitMilliseconds;
    // How long an automated run waits for another job's work files.
    int workLockWaitMilliseconds = DefaultWorkLockWaitMilliseconds;
    // The desktop keyring of encrypted Crates' passwords; none: not looked in.
    Keyring* keyring = nullptr;

    const PathStyle& style() const { return platform.style(); }
    // A file beside the program: ProgramFolder, a separator unless it already ends
    // in one, the name.
    std::string programFile(const std::string& name) const {
        return style().joinOnce(ProgramFolder, name);
    }
    OutputMode output() const { return automated ? OutputMode::Captured : display.outputMode(); }
    bool outputCaptured() const { return output() == OutputMode::Captured; }
};

}  // namespace stowaway
