#include "platform/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace stowaway {

InstanceLock::InstanceLock(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0) return;
    state_ = State::HeldElsewhere;
    tryAgain();
}

bool InstanceLock::tryAgain() {
    if (state_ != State::HeldElsewhere) return state_ == State::Owned;
    int result;
    do {
        result = ::flock(fd_, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0) {
        state_ = State::Owned;
        return true;
    }
    if (errno == EWOULDBLOCK) return false;
    // The descriptor stays open only for another try.
    state_ = State::Unavailable;
    ::close(fd_);
    fd_ = -1;
    return false;
}

InstanceLock::~InstanceLock() {
    // Closing lets go of the lock; the file stays for the next start.
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace stowaway
