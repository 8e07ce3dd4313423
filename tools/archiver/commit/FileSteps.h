// The file-system steps a set commit takes, each one counted so that a test
// can stop the archiver at any of them: PKZIP_TEST_COMMIT_FAULT="kill@N" kills
// the process at the Nth step, "eio@N" makes that step fail with EIO,
// "term@N" sends SIGTERM there (which waits for the commit). Unset,
// the steps are plain rename(2) and link(2).
#pragma once

#include <string>

namespace pkzip::commit {

// rename(2), counted. False with errno set.
bool StepRename(const std::string& from, const std::string& to);
// link(2), counted. False with errno set.
bool StepLink(const std::string& from, const std::string& to);

// The point after the last rename, before the old files are removed:
// counted too, so that a kill can land there ("eio" has nothing to fail).
void StepCheckpoint();

// fsync of `folder`, so that the renames in it last.
void SyncFolder(const std::string& folder);

// For tests in this process: the fault to inject, as the variable would say
// ("" = none), and the step count starts again.
void SetFaultForTest(const std::string& setting);

}  // namespace pkzip::commit
