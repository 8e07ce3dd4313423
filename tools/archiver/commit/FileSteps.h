// The file-system steps a set commit takes, each one counted so that a test
// can stop the archiver at any of them: PKZIP_TEST_COMMIT_FAULT="kill@N" kills
// the process at the Nth step, "eio@N" makes that step fail with EIO,
// "term@N" asks the process to end there (which waits for the commit).
// Unset, the steps are plain renames and hard links.
#pragma once

#include <string>

namespace pkzip::commit {

// A rename, counted. False with os::LastError() set.
bool StepRename(const std::string& from, const std::string& to);
// A hard link, counted. False with os::LastError() set.
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
