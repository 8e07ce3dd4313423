#include <windows.h>

#include <cstdint>

#include "platform/InstanceLock.h"
#include "platform/Win32Text.h"

namespace stowaway {

namespace {

// The handle kept in the descriptor's place: Windows handles are 32-bit values
// even in 64-bit processes, so they fit an int both ways.
int Stored(HANDLE handle) {
    return static_cast<int>(reinterpret_cast<std::intptr_t>(handle));
}

HANDLE Restored(int stored) {
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(stored));
}

}  // namespace

// LockFileEx on the file's first byte: Windows lets go of it when the process
// ends, however it ends. Every open shares everything, so the lock file can
// still be read, replaced or removed by others.
InstanceLock::InstanceLock(const std::string& path) {
    HANDLE file =
        ::CreateFileW(ApiPath(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    fd_ = Stored(file);
    state_ = State::HeldElsewhere;
    tryAgain();
}

bool InstanceLock::tryAgain() {
    if (state_ != State::HeldElsewhere) return state_ == State::Owned;
    OVERLAPPED first{};
    if (::LockFileEx(Restored(fd_), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                     &first)) {
        state_ = State::Owned;
        return true;
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) return false;
    // The handle stays open only for another try.
    state_ = State::Unavailable;
    ::CloseHandle(Restored(fd_));
    fd_ = -1;
    return false;
}

InstanceLock::~InstanceLock() {
    // Closing lets go of the lock; the file stays for the next start.
    if (fd_ >= 0) ::CloseHandle(Restored(fd_));
}

}  // namespace stowaway
