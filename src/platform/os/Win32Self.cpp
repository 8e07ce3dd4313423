#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "platform/NativeText.h"
#include "platform/os/Self.h"

namespace stowaway::os {
namespace {

// Held by InterruptsHeld; the interruption's thread takes it too, and so
// waits for a commit to finish.
std::recursive_mutex& InterruptLock() {
    static std::recursive_mutex lock;
    return lock;
}

// The process ends as a Ctrl+C ends a console program.
constexpr UINT kInterruptedExit = 0xC000013A;

}  // namespace

long ProcessId() {
    return static_cast<long>(::GetCurrentProcessId());
}

bool ProcessAlive(long pid) {
    const HANDLE h = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                   static_cast<DWORD>(pid));
    if (h == nullptr) return ::GetLastError() == ERROR_ACCESS_DENIED;  // someone else's
    const bool running = ::WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
    ::CloseHandle(h);
    return running;
}

std::string HostName() {
    wchar_t name[256];
    DWORD size = 256;
    if (!::GetComputerNameExW(ComputerNameDnsHostname, name, &size)) return {};
    return fromWide(std::wstring_view(name, size));
}

void PrepareToolProcess() {}

InterruptsHeld::InterruptsHeld() : saved_{} {
    InterruptLock().lock();
}

InterruptsHeld::~InterruptsHeld() {
    InterruptLock().unlock();
}

void InterruptsHeld::AwaitRelease() {
    std::lock_guard<std::recursive_mutex> held(InterruptLock());
}

void KillSelf() {
    ::TerminateProcess(::GetCurrentProcess(), 137);
    std::_Exit(137);
}

void InterruptSelf() {
    // As another process's request would: once nothing holds interruptions.
    std::thread([] {
        InterruptsHeld::AwaitRelease();
        ::ExitProcess(kInterruptedExit);
    }).detach();
}

void ReturnFreeMemory() {
    ::HeapCompact(::GetProcessHeap(), 0);
}

void* LockedPage(std::size_t size) {
    void* p = ::VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (p != nullptr) ::VirtualLock(p, size);  // best effort: kept out of the page file
    return p;
}

void FreeLockedPage(void* page, std::size_t size) {
    if (page == nullptr) return;
    ::VirtualUnlock(page, size);
    ::VirtualFree(page, 0, MEM_RELEASE);
}

}  // namespace stowaway::os
