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

// An interruption waits for the holds to end; the thread that ends the last one
// then goes no further, as a POSIX thread whose blocked signal arrives the
// moment it unblocks it, so the work it was held for is the last it does.
std::atomic<bool> g_interrupting{false};
thread_local int t_holds = 0;

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
    ++t_holds;
}

InterruptsHeld::~InterruptsHeld() {
    --t_holds;
    InterruptLock().unlock();
    if (t_holds == 0 && g_interrupting.load())
        for (;;) ::Sleep(INFINITE);  // the interruption's thread ends the process
}

void InterruptsHeld::AwaitRelease() {
    g_interrupting.store(true);
    std::lock_guard<std::recursive_mutex> held(InterruptLock());
}

void KillSelf() {
    ::TerminateProcess(::GetCurrentProcess(), 137);
    std::_Exit(137);
}

void InterruptSelf() {
    // As another process's request would: once nothing holds interruptions. It
    // is pending from now, not from when its thread first runs.
    g_interrupting.store(true);
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
