// Every run that opens an archive first finishes or undoes a commit of it
// that was interrupted, and says so.
#pragma once

#include <string>

namespace pkzip::commit {

// False, with a problem line, when the archive must not be used now (another
// run is committing it, or the interrupted commit could not be undone). The
// note goes to the error stream when `quiet` (a listing's standard output is
// read item by item).
bool SettleInterruptedCommit(const std::string& archive, bool quiet);

}  // namespace pkzip::commit
