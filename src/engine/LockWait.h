#pragma once

#include <string>

namespace stowaway {

struct JobContext;
class InstanceLock;

// Polls a lock held elsewhere for up to waitMilliseconds, keeping the window live.
// True when it is now owned.
bool WaitForLock(const JobContext& ctx, InstanceLock& lock, int waitMilliseconds);

// "90 seconds", "5 minutes", "6 hours".
std::string WaitText(int waitMilliseconds);

}  // namespace stowaway
