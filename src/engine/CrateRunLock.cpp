#include "engine/CrateRunLock.h"

#include <cstdint>
#include <cstdio>

#include "engine/JobContext.h"
#include "engine/LockWait.h"
#include "platform/CaseFold.h"
#include "platform/InstanceLock.h"
#include "platform/Text.h"
#include "platform/VisibleText.h"

namespace stowaway {

namespace {

std::string HashName(const std::string& name) {
    // FNV-1a: stable across builds and runs, which std::hash is not promised to be.
    std::uint64_t hash = 14695981039346656037ULL;
    for (unsigned char c : FoldCase(Trim(name))) {
        hash ^= c;
        hash *= 1099511628211ULL;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

}  // namespace

std::string CrateLockPath(const PathStyle& style, const std::string& programFolder,
                          const std::string& crateName) {
    return style.join(programFolder, "Stowaway-" + HashName(crateName) + ".lock");
}

std::string RunLockTimeoutText(const std::string& crateName, int waitMilliseconds) {
    return "Another run of the Crate " + VisibleText(crateName) + " was still going on after " +
           WaitText(waitMilliseconds) +
           " of waiting, so this backup did not run. Try again when it has finished.";
}

CrateRunLock::CrateRunLock(const JobContext& ctx, const std::string& crateName)
    : lock_(std::make_unique<InstanceLock>(
          ctx.platform.native(CrateLockPath(ctx.style(), ctx.ProgramFolder, crateName)))) {
    if (lock_->state() == InstanceLock::State::HeldElsewhere) {
        ctx.display.showStatus("Waiting for another run of " + VisibleText(crateName) +
                               " to finish...");
        WaitForLock(ctx, *lock_, ctx.runLockWaitMilliseconds);
    }
    held_ = lock_->state() != InstanceLock::State::HeldElsewhere;
    if (held_) return;
    const std::string text = RunLockTimeoutText(crateName, ctx.runLockWaitMilliseconds);
    ctx.job.RunErrors.push_back(text);
    ctx.display.showStatus("Backup Not Started");
    ctx.ui.messageBox(text, "Error", MsgButtons::OK, MsgIcon::Exclamation);
}

CrateRunLock::~CrateRunLock() = default;

}  // namespace stowaway
