#pragma once

#include <functional>
#include <string>

#include "store/RunState.h"

namespace stowaway {

class Platform;

inline constexpr const char* RunStateFileName = "Stowaway.state";

// Stowaway.state beside the data file.
std::string RunStatePath(const Platform& platform, const std::string& programFolder);

// Reads the file. A missing one is an empty table; one that cannot be read or is
// damaged gives what could be read and a problem to show (RunStateProblemText).
RunStateParse ReadRunState(const Platform& platform, const std::string& path);

// What to tell the user about a damaged or unreadable run-state file.
std::string RunStateProblemText(const std::string& path, const std::string& problem);

// How an update went.
struct RunStateSave {
    bool saved = false;
    std::string problem;   // why it was not saved, or what was damaged in the file read
    std::string keptCopy;  // where the damaged file's bytes were kept, if it was damaged
};

// Reads the file, lets `change` alter the table and writes it back all at once
// (a temporary file, flushed, renamed over it), holding the file's lock
// (path + ".lock") throughout so that two runs ending together lose neither
// update. A damaged file is kept as path + ".damaged" first. Waits at most
// `waitMilliseconds` for another holder of the lock.
RunStateSave UpdateRunState(const Platform& platform, const std::string& path,
                            const std::function<void(RunStateTable&)>& change,
                            int waitMilliseconds = 10000);

}  // namespace stowaway
