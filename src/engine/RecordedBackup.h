#pragma once

#include <functional>
#include <string>
#include <vector>

namespace stowaway {

struct JobContext;

// How a backup step went: it ran and succeeded, it failed (or could not start),
// or it left the run to the argument dialog, which records it when it runs.
enum class BackupOutcome { Succeeded, Failed, HandedOver };

// Runs a backup of the selected Crate under the Crate's run lock, then records
// it in the Crate's run state and sends the desktop alerts the run calls for;
// an automated run also alerts about Crates that have become overdue. Problems
// with the state file or the desktop are logged, never change the result.
// True when the backup succeeded (or was handed over).
bool RunRecordedBackup(const JobContext& ctx, const std::function<BackupOutcome()>& backup);

// Checks the named Crates for being overdue and alerts about each once per
// overdue spell; returns the names of the overdue ones, and appends to `notes`
// what the run log should say about the alerts and the state file. A damaged
// state file is described in `problem`.
std::vector<std::string> CheckOverdueCrates(const JobContext& ctx,
                                            const std::vector<std::string>& crateNames,
                                            std::vector<std::string>& notes,
                                            std::string* problem = nullptr);

}  // namespace stowaway
