#pragma once

#include <memory>
#include <string>

namespace stowaway {

struct JobContext;
class InstanceLock;
class PathStyle;

// The lock file of a Crate beside the program: "Stowaway-" and a hash of the
// name as Crates are matched (letter case and outer blanks ignored), so that any
// name makes a plain file name and two names that match share one lock.
std::string CrateLockPath(const PathStyle& style, const std::string& programFolder,
                          const std::string& crateName);

// Keeps two runs of one Crate (the window's, an automated one, another
// program's) from overlapping. Waits up to ctx.runLockWaitMilliseconds for the
// holder, keeping the window live; the kernel frees the lock of a holder that
// died. When the wait runs out the user is told and the lock is empty. A lock
// file that cannot be made (a folder that cannot be written) does not stop the
// run: the run's own work files tell that.
class CrateRunLock {
  public:
    CrateRunLock(const JobContext& ctx, const std::string& crateName);
    ~CrateRunLock();
    CrateRunLock(const CrateRunLock&) = delete;
    CrateRunLock& operator=(const CrateRunLock&) = delete;
    explicit operator bool() const { return held_; }

  private:
    std::unique_ptr<InstanceLock> lock_;
    bool held_ = false;
};

std::string RunLockTimeoutText(const std::string& crateName, int waitMilliseconds);

}  // namespace stowaway
