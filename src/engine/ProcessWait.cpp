#include "engine/ProcessWait.h"

#include "engine/JobContext.h"

namespace stowaway {

namespace {
void FeedConsole(const JobContext& ctx, long pid,
                 const std::function<void(const std::string&)>& onConsole) {
    std::string text = ctx.platform.takeConsoleOutput(pid);
    if (text.empty()) return;
    ctx.ui.consoleOutput(text);
    if (onConsole) onConsole(text);
}
}  // namespace

std::uint32_t WaitForProcess(const JobContext& ctx, long pid, bool showConsole,
                             const std::function<void()>& onPoll,
                             const std::function<void(const std::string&)>& onConsole) {
    Platform& platform = ctx.platform;
    long handle = platform.openProcess(pid);
    std::uint32_t code = 0;
    if (showConsole)
        ctx.ui.consoleInput([&platform, pid](const std::string& text) {
            return platform.writeConsoleInput(pid, text);
        });
    bool stopSent = false;
    if (handle != 0) {
        for (;;) {
            if (!platform.getExitCodeProcess(handle, code)) {
                code = 0;
                break;
            }
            if (showConsole) FeedConsole(ctx, pid, onConsole);
            ctx.ui.processEvents();
            if (code != Platform::StillActive) break;
            if (onPoll) onPoll();
            if (!stopSent && ctx.job.StopRequested && ctx.job.StopRequested()) {
                platform.stopProcess(pid);
                stopSent = true;
            }
            platform.sleepMilliseconds(PollPauseMilliseconds);
        }
        platform.closeHandle(handle);
    }
    if (showConsole) {
        FeedConsole(ctx, pid, onConsole);
        ctx.ui.consoleInput({});
    }
    return code;
}

}  // namespace stowaway
