#pragma once

namespace stowaway {

struct JobContext;
struct JobState;

inline constexpr const char* JobRunningText =
    "Another backup, restore or import is still running. Please wait until it has finished.";

// Holds the one job slot while a job runs. When another job already holds it, the
// guard is empty and the status bar says so; the caller then does nothing.
class JobGuard {
  public:
    explicit JobGuard(const JobContext& ctx);
    ~JobGuard();
    JobGuard(const JobGuard&) = delete;
    JobGuard& operator=(const JobGuard&) = delete;
    explicit operator bool() const { return owns_; }

  private:
    JobState& job_;
    bool owns_ = false;
};

}  // namespace stowaway
