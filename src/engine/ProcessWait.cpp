#include "engine/ProcessWait.h"

#include "startup/App.h"

namespace stowaway {

namespace {
void FeedConsole(App& app, long pid) {
    std::string text = app.platform.takeConsoleOutput(pid);
    if (!text.empty()) app.ui.consoleOutput(text);
}
}  // namespace

std::uint32_t WaitForProcess(App& app, long pid, bool showConsole,
                             const std::function<void()>& onPoll) {
    Platform& platform = app.platform;
    long handle = platform.openProcess(pid);
    std::uint32_t code = 0;
    if (showConsole)
        app.ui.consoleInput([&platform, pid](const std::string& text) {
            return platform.writeConsoleInput(pid, text);
        });
    if (handle != 0) {
        for (;;) {
            if (!platform.getExitCodeProcess(handle, code)) {
                code = 0;
                break;
            }
            if (showConsole) FeedConsole(app, pid);
            app.ui.processEvents();
            if (code != Platform::StillActive) break;
            if (onPoll) onPoll();
            platform.sleepMilliseconds(PollPauseMilliseconds);
        }
        platform.closeHandle(handle);
    }
    if (showConsole) {
        FeedConsole(app, pid);
        app.ui.consoleInput({});
    }
    return code;
}

}  // namespace stowaway
