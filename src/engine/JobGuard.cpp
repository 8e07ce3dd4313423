#include "engine/JobGuard.h"

#include "engine/JobDisplay.h"
#include "startup/App.h"

namespace stowaway {

JobGuard::JobGuard(App& app) : app_(app) {
    if (app.job.Running) {
        ShowJobStatus(app, JobRunningText);
        return;
    }
    app.job.Running = true;
    owns_ = true;
}

JobGuard::~JobGuard() {
    if (owns_) app_.job.Running = false;
}

}  // namespace stowaway
