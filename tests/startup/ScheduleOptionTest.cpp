#include "startup/ScheduleOption.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <sstream>

#include "engine/schedule/ScheduleFakes.h"
#include "engine/schedule/SystemdUnits.h"
#include "platform/scheduler/CommandRunner.h"
#include "startup/LongOptions.h"
#include "support/SystemSupport.h"
#include "support/TestPlatforms.h"

namespace stowaway {
namespace {

using test::MemoryCrontab;
using test::ReadFile;
using test::RecordingActivation;
using test::TestProgram;
using test::WriteFile;

namespace fs = std::filesystem;

std::string DataFile(const std::vector<std::string>& crates, const std::string& folder) {
    std::string data = "\"MAX=" + std::to_string(crates.size() - 1) + "\"\r\n";
    for (const std::string& name : crates)
        data += "\"SNAME=" + name + "\"\r\n\"SBLOC=" + folder + "/out.zip\"\r\n\"SRLOC=" + folder +
                "\"\r\n\"SCOMP=5\"\r\n\"SUPDATE=0\"\r\n\"SMULTI=0\"\r\n\"SFOLDMAX=1\"\r\n"
                "\"SFOLD=R+ " +
                folder + "/missing/*.*\"\r\n\"SFILEMAX=0\"\r\n";
    return data;
}

struct OptionRig {
    OptionRig() : p(false) {
        WriteFile(p.dir / "Stowaway.dat", DataFile({"My Docs", "Mail"}, p.dir.path()));
        p.app->schedulerHooks = SchedulerHooks{&activation, &crontab, units, "systemd"};
    }
    int run(const std::vector<std::string>& arguments) {
        out.str("");
        err.str("");
        return *RunLongOption(*p.app, arguments, out, err);
    }
    TestProgram p;
    RecordingActivation activation;
    MemoryCrontab crontab;
    std::string units = p.dir / "config/systemd/user";
    std::ostringstream out, err;
};

TEST(ScheduleOption, SetsTheScheduleOfACrateNamedInAnyCase) {
    STOWAWAY_NEEDS(Systemd);
    OptionRig r;
    EXPECT_FALSE(IsLongOption({"-abu", "--schedule"}));
    EXPECT_EQ(r.run({"--schedule", "MY DOCS", "Mon,Thu", "09:00"}), ScheduleOk) << r.err.str();
    EXPECT_EQ(r.out.str().substr(0, 43), "My Docs: mon,thu 09:00 (systemd), next run ");
    EXPECT_EQ(r.err.str(), "");
    const std::string service = ReadFile(r.units + "/" + UnitBaseName("My Docs") + ".service");
    EXPECT_NE(service.find("\"-abu\" \"My Docs\""), std::string::npos);
    EXPECT_EQ(ReadFile(r.p.dir / "Stowaway.ini"),
              "[crate \"My Docs\"]\nschedule = mon,thu 09:00\n");
    EXPECT_EQ(r.run({"--schedule", "my docs", "off"}), ScheduleOk);
    EXPECT_EQ(r.out.str(), "My Docs: off (systemd)\n");
    EXPECT_FALSE(fs::exists(toPath(r.units + "/" + UnitBaseName("My Docs") + ".service")));

    // A damaged line of the settings is said, kept, and stops nothing.
    WriteFile(r.p.dir / "Stowaway.ini", "[crate \"Mail\"]\nthis is not a setting\n");
    EXPECT_EQ(r.run({"--schedule", "Mail", "every 4h"}), ScheduleOk);
    EXPECT_EQ(r.err.str(), "stowaway: There is a problem with the settings file " +
                               (r.p.dir / "Stowaway.ini") +
                               " (the Crates are not affected; lines that are not understood are "
                               "kept as they are):\n  line 2: not a \"key = value\" line\n");
    EXPECT_EQ(ReadFile(r.p.dir / "Stowaway.ini"),
              "[crate \"Mail\"]\nthis is not a setting\nschedule = every 4h\n");

    OptionRig cron;
    cron.p.app->schedulerHooks.forced = "cron";
    EXPECT_EQ(cron.run({"--schedule", "Mail", "every 12h"}), ScheduleOk);
    EXPECT_EQ(cron.out.str().substr(0, 24), "Mail: every 12h (cron), ");
    EXPECT_NE(cron.out.str().find("Note: cron does not catch up"), std::string::npos);
}

TEST(ScheduleOption, BadInputHasItsExitStatusAndChangesNothing) {
    STOWAWAY_NEEDS(Systemd);
    OptionRig r;
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string message;
    } cases[] = {
        {{"--schedule"},
         ScheduleBadUsage,
         "stowaway: --schedule needs a Crate's name and when to run it, such as\n"
         "  stowaway --schedule \"My Documents\" \"daily 02:30\"\n"},
        {{"--schedule", "Mail", "daily 24:00"},
         ScheduleBadUsage,
         "stowaway: there is no time 24:00 in a day (hours 00 to 23, minutes 00 to 59)\n"},
        {{"--schedule", "Mail", ",", "09:00"},
         ScheduleBadUsage,
         "stowaway: no weekday is given; name at least one, such as \"mon,thu 09:00\"\n"},
        {{"--schedule", "Nothing", "daily 02:00"},
         ScheduleFailed,
         "stowaway: there is no Crate named \"Nothing\" in " + (r.p.dir / "Stowaway.dat") + "\n"},
        {{"--fix-schedules", "x"},
         ScheduleBadUsage,
         "stowaway: --fix-schedules takes no arguments\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(r.run(c.arguments), c.status) << c.arguments.size();
        EXPECT_EQ(r.err.str(), c.message);
    }
    r.activation.failEnable = true;
    EXPECT_EQ(r.run({"--schedule", "Mail", "daily 02:00"}), ScheduleFailed);
    EXPECT_EQ(r.err.str(),
              "stowaway: the schedule of Mail was not changed: systemd did not take the schedule, "
              "so the units are as they were: \"systemctl --user enable --now\" failed with exit "
              "status 1\n");
    // The unit folder may have been made; no unit is left in it.
    EXPECT_TRUE(!fs::exists(toPath(r.units)) || fs::is_empty(toPath(r.units)));
    EXPECT_EQ(
        fs::exists(toPath(r.p.dir / "Stowaway.ini")) ? ReadFile(r.p.dir / "Stowaway.ini") : "", "");
}

// The built program, in a program folder of its own whose Crate has a hostile
// name; the units go to a private folder and no user manager is reached.
class ScheduleProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        STOWAWAY_NEEDS(Systemd);
        program = dir.path() + "/Program 100% $x ü";
        fs::create_directories(toPath(program));
        fs::copy_file(toPath(std::string(STOWAWAY_PROGRAM_DIR) + "/stowaway"),
                      toPath(program + "/stowaway"));
        WriteFile(program + "/Stowaway.dat", DataFile({Crate}, dir.path()));
        fs::create_directories(toPath(dir / "runtime"));
        ::chmod((dir / "runtime").c_str(), 0700);
    }
    CommandResult run(std::vector<std::string> arguments, const std::string& scheduler) {
        std::vector<std::string> command = {
            "env",
            "-u",
            "DISPLAY",
            "-u",
            "WAYLAND_DISPLAY",
            "-u",
            "QT_QPA_PLATFORM",
            "STOWAWAY_SCHEDULER=" + scheduler,
            "XDG_CONFIG_HOME=" + (dir / "config"),
            "XDG_RUNTIME_DIR=" + (dir / "runtime"),
            "DBUS_SESSION_BUS_ADDRESS=unix:path=" + (dir / "runtime/none")};
        command.insert(command.end(), arguments.begin(), arguments.end());
        return runner.run(command);
    }
    const std::string Crate = "Ünï 100% $HOME 'q' \\ Docs";
    test::TempDir dir;
    std::string program;
    SystemCommandRunner runner;
};

TEST_F(ScheduleProgram, ExitStatusesOfTheRealProgram) {
    CommandResult result =
        run({program + "/stowaway", "--schedule", "ünï 100% $home 'q' \\ DOCS", "daily 25:61"},
            "systemd");
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.errors,
              "stowaway: there is no time 25:61 in a day (hours 00 to 23, minutes 00 to 59)\n");
    result = run({program + "/stowaway", "--schedule", "ÜNÏ 100% $HOME 'Q' \\ docs", "daily 02:30"},
                 "systemd");
    // No user manager runs here: systemctl refuses and nothing is left behind.
    EXPECT_EQ(result.status, 1) << result.output << result.errors;
    EXPECT_NE(result.errors.find("stowaway: the schedule of " + Crate +
                                 " was not changed: systemd did not take the schedule, so the "
                                 "units are as they were: \"systemctl --user "),
              std::string::npos)
        << result.errors;
    EXPECT_TRUE(!fs::exists(toPath(dir / "config/systemd/user")) ||
                fs::is_empty(toPath(dir / "config/systemd/user")));
    EXPECT_EQ(ReadFile(program + "/Stowaway.ini"), "");
}

// The service's command line, split as systemd splits it, finds the Crate although
// -abu lower-cases the whole line: the run gets as far as the backup, which fails
// on the Crate's missing folder, and never says the Crate was not found.
TEST_F(ScheduleProgram, TheServicesCommandFindsTheCrate) {
    const std::string service = ServiceUnitText(Crate, program + "/stowaway");
    const std::string line = service.substr(service.find("ExecStart=") + 10);
    const std::optional<std::vector<std::string>> words =
        SplitExecLine(line.substr(0, line.find('\n')));
    ASSERT_TRUE(words);
    ASSERT_EQ(words->size(), 3u);
    CommandResult result = run(*words, "");
    EXPECT_EQ(result.errors.find("unable to find the crate"), std::string::npos)
        << result.output << result.errors;
    std::vector<std::string> other = *words;
    other[2] = "Other";
    result = run(other, "");
    EXPECT_NE(result.errors.find("unable to find the crate titled \"other\""), std::string::npos)
        << result.output << result.errors;
}

}  // namespace
}  // namespace stowaway
