// What the tools ask of their own process: who it is, whether another one
// still runs, how an interruption ends it, and memory kept out of swap.
#pragma once

#include <cstddef>
#include <string>

namespace stowaway::os {

long ProcessId();
// Whether the process `pid` of this machine still runs (or may: one that is
// not ours to signal counts as running).
bool ProcessAlive(long pid);
// The machine's name as the system gives it; empty when it does not.
std::string HostName();

// A tool's start: a reader of its output going away, or a file-size limit,
// shows as a failed write rather than ending the process; local time is not
// looked up again per conversion.
void PrepareToolProcess();

// `cleanup` runs once when an interruption (Ctrl+C, a terminal hung up, a
// request to end) arrives, and the process then ends as the interruption
// says. It runs inside a signal handler on POSIX: only async-signal-safe
// calls (removing files by name).
void OnInterrupt(void (*cleanup)());

// Interruptions wait while one is alive (per thread on POSIX), then arrive.
class InterruptsHeld {
  public:
    InterruptsHeld();
    ~InterruptsHeld();
    InterruptsHeld(const InterruptsHeld&) = delete;
    InterruptsHeld& operator=(const InterruptsHeld&) = delete;

  private:
    unsigned char saved_[128];
};

// For tests of a crash: ends the process at once, as a kill would.
[[noreturn]] void KillSelf();
// For tests of an interruption: asks this process to end, as another
// process would (held while InterruptsHeld).
void InterruptSelf();

// Gives the heap's free memory back to the system where the C library can.
void ReturnFreeMemory();

// A page of memory that is not swapped out nor written to a core dump
// where the system allows; nullptr when none can be had.
void* LockedPage(std::size_t size);
void FreeLockedPage(void* page, std::size_t size);

}  // namespace stowaway::os
