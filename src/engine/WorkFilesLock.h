#pragma once

#include <memory>
#include <string>

namespace stowaway {

struct JobContext;
class InstanceLock;

// The work files (batch, list, header, output) are one set per program folder,
// so a job of another process (a scheduled run of another Crate, the window) must
// not write them while this one uses them. The window does not wait: it says
// another job is running, as for one of its own. An automated run waits up to
// ctx.workLockWaitMilliseconds, then gives up with a run error. A lock file that
// cannot be made does not stop the job: its work files tell that.
class WorkFilesLock {
  public:
    explicit WorkFilesLock(const JobContext& ctx);
    ~WorkFilesLock();
    WorkFilesLock(const WorkFilesLock&) = delete;
    WorkFilesLock& operator=(const WorkFilesLock&) = delete;
    explicit operator bool() const { return held_; }

  private:
    std::unique_ptr<InstanceLock> lock_;
    bool held_ = false;
};

std::string WorkFilesLockPath(const JobContext& ctx);
std::string WorkLockTimeoutText(int waitMilliseconds);

}  // namespace stowaway
