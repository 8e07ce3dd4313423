#include "platform/scheduler/Crontab.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "engine/schedule/CronBlock.h"
#include "engine/schedule/CronScheduler.h"
#include "support/TestPlatforms.h"

namespace stowaway {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// The real crontab command on a user of the test's own: root creates a throwaway
// user and removes it afterwards; anyone else works on their own crontab and gets
// it back as it was.
class CrontabUser {
  public:
    CrontabUser() {
        if (::geteuid() == 0) {
            user_ = "swtest" + std::to_string(::getpid());
            const CommandResult made =
                runner_.run({"useradd", "--no-create-home", "--shell", "/usr/sbin/nologin", user_});
            created_ = made.succeeded();
            EXPECT_TRUE(created_) << made.describe({"useradd", user_});
        } else {
            CrontabCommand own(runner_);
            std::string error;
            saved_ = own.read(original_, error);
            EXPECT_TRUE(saved_) << error;
        }
    }
    ~CrontabUser() {
        if (created_) {
            runner_.run({"crontab", "-u", user_, "-r"});
            runner_.run({"userdel", user_});
        } else if (saved_) {
            CrontabCommand own(runner_);
            std::string error;
            own.write(original_, error);
        }
    }
    CrontabCommand access() { return CrontabCommand(runner_, user_); }
    SystemCommandRunner& runner() { return runner_; }

  private:
    SystemCommandRunner runner_;
    std::string user_;
    bool created_ = false;
    bool saved_ = false;
    std::string original_;
};

// What cron does with a line's command: an escaped % is a %, then /bin/sh runs it.
std::string CronCommand(const std::string& line) {
    std::size_t i = 0;
    for (int field = 0; field < 5; ++field) {
        while (line[i] == ' ') ++i;
        while (line[i] != ' ') ++i;
    }
    std::string command;
    for (std::size_t j = i + 1; j < line.size(); ++j) {
        if (line[j] == '\\' && j + 1 < line.size() && line[j + 1] == '%') continue;
        command += line[j];
    }
    return command;
}

TEST(RealCrontab, TheBlockRoundTripsAndTheUsersLinesStay) {
    CrontabUser user;
    CrontabCommand crontab = user.access();
    const std::string own =
        "# the user's own\nMAILTO=\"\"\n0 5 * * * /usr/bin/true   # spaced   out\n";
    std::string error;
    ASSERT_TRUE(crontab.write(own, error)) << error;
    CronScheduler cron(crontab);
    const std::vector<std::string> names = {"Docs", "it's 100% $HOME `x` \"q\" \\ ü",
                                            "tab\there ; | &"};
    for (const std::string& name : names)
        ASSERT_TRUE(cron.apply(name, EveryHours(6), "/opt/my apps/stowaway", error)) << error;
    ASSERT_TRUE(cron.apply("Docs", WeekdaysAt(0b1001, 9, 0), "/opt/my apps/stowaway", error));

    std::vector<InstalledSchedule> installed;
    ASSERT_TRUE(cron.installed(installed, error)) << error;
    ASSERT_EQ(installed.size(), 3u);
    EXPECT_EQ(installed[0].crate, "Docs");
    EXPECT_EQ(installed[0].when, "0 9 * * 1,4");
    EXPECT_EQ(installed[1].crate, names[1]);
    EXPECT_EQ(installed[2].crate, names[2]);
    EXPECT_EQ(installed[1].program, "/opt/my apps/stowaway");
    std::string text;
    ASSERT_TRUE(crontab.read(text, error));
    EXPECT_EQ(text.substr(0, own.size()), own);

    for (const std::string& name : names) ASSERT_TRUE(cron.apply(name, Schedule{}, "x", error));
    ASSERT_TRUE(crontab.read(text, error));
    EXPECT_EQ(text, own);
}

// The line cron runs hands the program exactly the Crate's name.
TEST(RealCrontab, TheShellGivesTheProgramTheNameAsWritten) {
    TempDir dir;
    const std::string folder = dir / "it's 100% $x";
    std::filesystem::create_directories(toPath(folder));
    const std::string program = folder + "/stowaway";
    WriteFile(program, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/args\"\n");
    ::chmod(program.c_str(), 0755);
    SystemCommandRunner runner;
    for (const std::string name : {"it's 100% $HOME `x` \"q\" \\ ü", "tab\there ; | & > y"}) {
        const std::optional<std::string> line = CronLine({name, program, "0 9 * * *"});
        ASSERT_TRUE(line);
        const CommandResult ran = runner.run({"/bin/sh", "-c", CronCommand(*line)});
        ASSERT_TRUE(ran.succeeded()) << ran.describe({"sh", *line});
        EXPECT_EQ(ReadFile(folder + "/args"), "-abu\n" + name + "\n");
    }
}

TEST(RealCrontab, AFailingCrontabCommandIsSaid) {
    SystemCommandRunner runner;
    CrontabCommand nobody(runner, "no-such-user-of-stowaway");
    std::string text, error;
    EXPECT_FALSE(nobody.read(text, error));
    EXPECT_EQ(
        error.rfind("\"crontab -u no-such-user-of-stowaway -l\" failed with exit status 1", 0), 0u)
        << error;
    CronScheduler cron(nobody);
    EXPECT_FALSE(cron.apply("Docs", DailyAt(1, 0), "/x", error));
    EXPECT_EQ(error.rfind("The crontab could not be read: ", 0), 0u) << error;
}

}  // namespace
}  // namespace stowaway
