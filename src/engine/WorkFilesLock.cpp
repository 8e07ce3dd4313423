#include "engine/WorkFilesLock.h"

#include "engine/JobContext.h"
#include "engine/JobGuard.h"
#include "engine/LockWait.h"
#include "platform/InstanceLock.h"

namespace stowaway {

std::string WorkFilesLockPath(const JobContext& ctx) {
    return ctx.programFile("Stowaway-work.lock");
}

std::string WorkLockTimeoutText(int waitMilliseconds) {
    return "Another backup, restore or import of this program folder was still running after " +
           WaitText(waitMilliseconds) +
           " of waiting, so this backup did not run. Try again when it has finished.";
}

WorkFilesLock::WorkFilesLock(const JobContext& ctx) : held_(ctx.job.HeldWorkFiles != nullptr) {
    // The argument dialog's run uses the work files its backup prepared and holds.
    if (held_) return;
    lock_ = std::make_unique<InstanceLock>(ctx.platform.native(WorkFilesLockPath(ctx)));
    if (lock_->state() == InstanceLock::State::HeldElsewhere) {
        if (!ctx.automated) {
            ctx.display.showStatus(JobRunningText);
            return;
        }
        ctx.display.showStatus("Waiting for another backup, restore or import to finish...");
        WaitForLock(ctx, *lock_, ctx.workLockWaitMilliseconds);
    }
    held_ = lock_->state() != InstanceLock::State::HeldElsewhere;
    if (held_ || !ctx.automated) return;
    const std::string text = WorkLockTimeoutText(ctx.workLockWaitMilliseconds);
    ctx.job.RunErrors.push_back(text);
    ctx.display.showStatus("Backup Not Started");
    ctx.ui.messageBox(text, "Error", MsgButtons::OK, MsgIcon::Exclamation);
}

WorkFilesLock::~WorkFilesLock() = default;

}  // namespace stowaway
