#include "engine/LockWait.h"

#include "engine/JobContext.h"
#include "platform/InstanceLock.h"

namespace stowaway {

namespace {
constexpr int PollMilliseconds = 100;
}

bool WaitForLock(const JobContext& ctx, InstanceLock& lock, int waitMilliseconds) {
    for (int waited = 0; waited < waitMilliseconds; waited += PollMilliseconds) {
        ctx.ui.processEvents();
        ctx.platform.sleepMilliseconds(PollMilliseconds);
        if (lock.tryAgain()) return true;
    }
    return lock.state() == InstanceLock::State::Owned;
}

std::string WaitText(int waitMilliseconds) {
    const int seconds = (waitMilliseconds + 999) / 1000;
    if (seconds >= 2 * 60 * 60) return std::to_string(seconds / 3600) + " hours";
    if (seconds >= 120) return std::to_string(seconds / 60) + " minutes";
    return std::to_string(seconds) + " seconds";
}

}  // namespace stowaway
