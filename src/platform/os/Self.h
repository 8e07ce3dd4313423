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

// Interruptions (Interrupt.h) wait while one is alive, then arrive: on
// POSIX the signals are blocked (per thread); on Windows, where they come on a
// thread of their own, the cleanup calls AwaitRelease first.
class InterruptsHeld {
  public:
    InterruptsHeld();
    ~InterruptsHeld();
    InterruptsHeld(const InterruptsHeld&) = delete;
    InterruptsHeld& operator=(const InterruptsHeld&) = delete;
    // Returns once no InterruptsHeld is alive (at once on POSIX, where a held
    // interruption is not delivered). Safe in a signal handler.
    static void AwaitRelease();

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
