#include "platform/scheduler/UserManager.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "engine/schedule/SystemdScheduler.h"
#include "engine/schedule/SystemdUnits.h"
#include "platform/NativePlatform.h"
#include "support/TestPlatforms.h"

namespace stowaway {
namespace {

// Records the command lines and answers them from a script.
class ScriptedRunner : public CommandRunner {
  public:
    CommandResult run(const std::vector<std::string>& arguments, const std::string&) override {
        std::string line;
        for (const std::string& word : arguments) line += (line.empty() ? "" : " ") + word;
        lines.push_back(line);
        CommandResult result;
        result.started = true;
        result.status = line == failing ? 1 : 0;
        if (result.status) result.errors = "Failed to connect to bus: No medium found\n";
        result.output = output;
        return result;
    }
    std::vector<std::string> lines;
    std::string failing;
    std::string output;
};

TEST(SystemctlActivation, SpeaksToTheUserManagerThroughSystemctl) {
    ScriptedRunner runner;
    SystemctlActivation systemctl(runner);
    std::string error;
    EXPECT_TRUE(systemctl.enableTimers({"stowaway-a\\x20b-1.timer"}, error));
    EXPECT_TRUE(systemctl.disableTimers({"stowaway-a\\x20b-1.timer"}, error));
    EXPECT_EQ(runner.lines, (std::vector<std::string>{
                                "systemctl --user daemon-reload",
                                "systemctl --user enable --now stowaway-a\\x20b-1.timer",
                                "systemctl --user disable --now stowaway-a\\x20b-1.timer"}));
    runner.failing = "systemctl --user daemon-reload";
    EXPECT_FALSE(systemctl.enableTimers({"x.timer"}, error));
    EXPECT_EQ(error,
              "\"systemctl --user daemon-reload\" failed with exit status 1: Failed to connect to "
              "bus: No medium found");

    for (const auto& [state, answers] : std::vector<std::pair<std::string, bool>>{
             {"running\n", true}, {"degraded\n", true}, {"offline\n", false}, {"", false}}) {
        runner.output = state;
        EXPECT_EQ(systemctl.available(), answers) << state;
    }
}

// Where the user's manager answers, a real timer is enabled and removed again
// under a name no one else uses; the build machines have no user manager, where
// the recording fake stands in (see the other scheduler tests).
TEST(SystemctlActivation, ARealUserManagerTakesAndDropsATimer) {
    SystemCommandRunner runner;
    SystemctlActivation systemctl(runner);
    if (!systemctl.available())
        GTEST_SKIP() << "no systemd user manager answers here; the activation ran against the "
                        "recording fake";
    NativePlatform platform;
    const std::string folder = UserUnitFolder();
    ASSERT_FALSE(folder.empty());
    const std::string crate = "Stowaway test " + std::to_string(::getpid());
    SystemdScheduler scheduler(platform, systemctl, folder);
    std::string error;
    ASSERT_TRUE(scheduler.apply(crate, DailyAt(3, 33), "/bin/true", error)) << error;
    const std::string timer = UnitBaseName(crate) + ".timer";
    EXPECT_TRUE(runner.run({"systemctl", "--user", "is-enabled", timer}).succeeded());
    EXPECT_TRUE(scheduler.apply(crate, Schedule{}, "/bin/true", error)) << error;
    EXPECT_FALSE(std::filesystem::exists(toPath(folder + "/" + timer)));
    EXPECT_FALSE(runner.run({"systemctl", "--user", "is-enabled", timer}).succeeded());
}

}  // namespace
}  // namespace stowaway
