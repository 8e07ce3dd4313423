#include "engine/JobGuard.h"

#include "engine/JobContext.h"

namespace stowaway {

JobGuard::JobGuard(const JobContext& ctx) : job_(ctx.job) {
    if (ctx.job.Running) {
        ctx.display.showStatus(JobRunningText);
        return;
    }
    ctx.job.Running = true;
    owns_ = true;
}

JobGuard::~JobGuard() {
    if (owns_) job_.Running = false;
}

}  // namespace stowaway
