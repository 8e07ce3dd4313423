#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/secrets/SecretText.h"

namespace stowaway {

class WorkFilesLock;

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
    // Why the last backup failed, as the run log and the messages said it, for the
    // Crate's run state.
    std::vector<std::string> RunErrors;
    // The ending of an archiver warning that this job caused itself and that is no
    // error: the second name a kept version gives the old archive.
    std::string ToleratedWarning;
    // The work files a backup prepared and handed to the argument dialog, held
    // until the dialog lets the line go, so no other process rewrites them meanwhile.
    std::shared_ptr<WorkFilesLock> HeldWorkFiles;
    // Polled while the archiver runs; true stops it (a user's cancel). Set by the
    // job that offers a cancel, for its own runs.
    std::function<bool()> StopRequested;
    // The log could not be opened; told to the user once per run of the program.
    bool LogFailureReported = false;
    // The password of an encrypted archive, for the archiver of the prepared line
    // alone; the run hands it over through a pipe and wipes it.
    SecretText Password;

    // What every job clears when it starts.
    void startNew() {
        FilesToDo = 0;
        ArchiverCommand.clear();
        ArchiverTail.clear();
        WalkErrors.clear();
        WalkFailed = false;
        RunErrors.clear();
        ToleratedWarning.clear();
        Password.clear();
    }
};

}  // namespace stowaway
