#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace stowaway {

struct JobContext;

// Pause between two polls of a running archiver: the window stays live and the
// wait costs next to nothing.
inline constexpr int PollPauseMilliseconds = 25;

// Waits until the started process has ended. Every poll processes pending window
// events, feeds a visible console, and calls onPoll while the process still runs.
// onConsole sees what the console is fed.
// Returns the process's exit status (0 when it could not be read).
std::uint32_t WaitForProcess(const JobContext& ctx, long pid, bool showConsole,
                             const std::function<void()>& onPoll,
                             const std::function<void(const std::string&)>& onConsole = {});

}  // namespace stowaway
