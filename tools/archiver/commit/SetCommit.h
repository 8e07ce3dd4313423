// Putting a new archive (one file or a split set) in place of the old one,
// and the one owner of what is on disk meanwhile. The journal is written
// before anything moves; then the old NAME.zip and every file in the way go
// aside, the new volumes take their names (NAME.zip last), the folders are
// synced, and only then are the old files and the journal removed. A failure
// undoes every step; an interruption is finished or undone by the next run
// that opens the archive (Recover).
#pragma once

#include <string>

#include "CommitJournal.h"

namespace pkzip::commit {

enum class Outcome {
    Done,        // the new set is in place, the old one gone
    RolledBack,  // the old set is back in place; the new volumes keep their work names
    Stuck,       // neither could be finished: `error` says what is where; the journal stays
};

// Carries out the plan in `j` (see PlanCommit). `error` says what happened
// and what is on disk now, for anything but Done.
Outcome CommitSet(const std::string& archive, const Journal& j, std::string& error);

enum class Recovery {
    Nothing,     // no interrupted commit
    Completed,   // the new set was complete in place: the old files were removed
    RolledBack,  // the old set was put back, the new volumes removed
    Busy,        // another live run is committing
    Failed,      // could not be finished: `report` says why
};

// Before a run uses `archive`: finishes or undoes a commit that was
// interrupted. `report` is one line for the user for anything but Nothing.
Recovery Recover(const std::string& archive, std::string& report);

}  // namespace pkzip::commit
