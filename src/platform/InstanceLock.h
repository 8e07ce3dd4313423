#pragma once

#include <string>

namespace stowaway {

// An exclusive lock on a file, held while the object lives. The kernel lets go of
// it when the process ends, however it ends, so a lock file that a dead process
// left behind never counts as held.
class InstanceLock {
  public:
    enum class State {
        Owned,          // this object holds the lock
        HeldElsewhere,  // a live process (or another object here) holds it
        Unavailable     // the lock file cannot be made: nothing can be told
    };

    explicit InstanceLock(const std::string& path);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    State state() const { return state_; }
    // Tries once more to take a lock held elsewhere; true when it is now owned.
    // Waiting callers poll with it (a blocking wait could never give up).
    bool tryAgain();

  private:
    int fd_ = -1;
    State state_ = State::Unavailable;
};

}  // namespace stowaway
