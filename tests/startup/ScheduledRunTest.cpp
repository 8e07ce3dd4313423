// The automated mode as a scheduler starts it: the program folder's own
// `stowaway -abu NAME`, no display, the user's session bus in the environment.

#include <fstream>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "engine/CrateRunLock.h"
#include "platform/InstanceLock.h"
#include "platform/NativeText.h"
#include "store/RunStateFile.h"
#include "support/ProgramFolder.h"
#include "support/TestSessionBus.h"

namespace stowaway {
namespace {

namespace fs = std::filesystem;

using ProgramRun = test::ShellRun;

class ScheduledRun : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string built = STOWAWAY_PROGRAM_DIR;
        for (const char* tool : {"stowaway", "PKZIP25.EXE", "stowaway-cmd"})
            if (!fs::exists(toPath(built + "/" + tool)))
                GTEST_SKIP() << tool << " is not built yet";
        program = dir / "Program Files";
        fs::create_directories(toPath(program));
        for (const char* tool : {"stowaway", "PKZIP25.EXE", "stowaway-cmd"})
            fs::copy_file(toPath(built + "/" + tool), toPath(program + "/" + tool));
        data = dir / "data";
        test::WriteFile(data + "/letter.txt", "Dear Ann,\n");
        fs::create_directories(dir / "out");
        test::WriteOneCrateDataFile(program, {.name = "Nightly Docs",
                                              .archive = dir / "out/docs.zip",
                                              .restore = dir / "back",
                                              .folders = {"R+ " + data + "/*.*"}});
        ASSERT_FALSE(bus.address().empty()) << "dbus-daemon did not start";
    }

    // As a systemd service or cron starts it: by its full path, no display.
    ProgramRun start(const std::string& arguments, const std::string& environment = "") const {
        return test::RunShell(
            "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DBUS_SESSION_BUS_ADDRESS='" +
            bus.address() + "' " + environment + " '" + program + "/stowaway' " + arguments +
            " 2>&1 </dev/null");
    }
    ProgramRun backup() const { return start("-abu 'Nightly Docs'"); }

    CrateRunState state() const {
        NativePlatform platform(program);
        const RunStateParse read = ReadRunState(platform, program + "/Stowaway.state");
        EXPECT_EQ(read.problem, "");
        const CrateRunState* found = read.table.find("nightly docs");
        return found ? *found : CrateRunState{};
    }

    test::TempDir dir;
    test::TestSessionBus bus;
    std::string program, data;
};

// The state of every run, one alert per failure streak, one when it works again,
// and --status shows it all.
TEST_F(ScheduledRun, RecordsEachRunAndAlertsOncePerFailureStreak) {
    test::RecordingNotificationServer server(bus.address());
    ASSERT_TRUE(server.serving());
    const std::string failed = "Stowaway: the backup of Nightly Docs failed";
    const std::string again = "Stowaway: the backup of Nightly Docs works again";

    ProgramRun run = backup();
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(state().result, RunResult::Ok);
    EXPECT_TRUE(server.summaries().empty());

    fs::rename(toPath(data), toPath(dir / "unmounted"));  // the disk is not there tonight
    for (int night = 0; night < 3; ++night) {
        run = backup();
        EXPECT_EQ(run.status, 1) << run.output;
    }
    EXPECT_EQ(server.summaries(), (std::vector<std::string>{failed}));
    CrateRunState s = state();
    EXPECT_EQ(s.result, RunResult::Failed);
    EXPECT_EQ(s.failureStreak, 3);
    EXPECT_NE(s.error.find(data), std::string::npos) << s.error;
    const test::ReceivedNotification alert = server.received()[0];
    EXPECT_NE(alert.body.find(s.error), std::string::npos) << alert.body;
    EXPECT_NE(alert.body.find("Log: " + program + "/Log.txt"), std::string::npos) << alert.body;

    // The schedule the timer was made from, as the Schedule dialog leaves it.
    {
        std::ofstream ini(toPath(program + "/Stowaway.ini"));
        ini << "[crate \"nightly docs\"]\nschedule = daily 02:30\n";
    }
    ProgramRun status = start("--status", "STOWAWAY_SCHEDULER=systemd");
    EXPECT_EQ(status.status, 1) << status.output;
    EXPECT_NE(status.output.find("Scheduler: systemd\n"), std::string::npos) << status.output;
    EXPECT_NE(status.output.find("Nightly Docs  daily 02:30"), std::string::npos) << status.output;
    EXPECT_NE(status.output.find("failed (3 runs)"), std::string::npos) << status.output;
    EXPECT_NE(status.output.find("Nightly Docs: " + s.error), std::string::npos) << status.output;

    fs::rename(toPath(dir / "unmounted"), toPath(data));
    ASSERT_EQ(backup().status, 0);
    EXPECT_EQ(server.summaries(), (std::vector<std::string>{failed, again}));
    EXPECT_NE(server.received()[1].body.find("after 3 failed runs"), std::string::npos);
    status = start("--status");
    EXPECT_NE(status.output.find("Nightly Docs  daily 02:30  "), std::string::npos)
        << status.output;
    EXPECT_NE(status.output.find(" 2:30:00 AM  "), std::string::npos) << status.output;
    EXPECT_EQ(status.status, 0) << status.output;
    EXPECT_NE(status.output.find("  ok  "), std::string::npos) << status.output;
    EXPECT_NE(status.output.find("  no\n"), std::string::npos) << status.output;

    // The run log names the Crate and the archive of every run.
    const std::string log = test::ReadFile(program + "/Log.txt");
    std::size_t named = 0;
    for (std::size_t at = log.find("    Crate: Nightly Docs - Archive: " + dir / "out/docs.zip");
         at != std::string::npos; at = log.find("    Crate: Nightly Docs - Archive: ", at + 1))
        ++named;
    EXPECT_EQ(named, 5u);
}

TEST_F(ScheduledRun, ASecondRunOfTheSameCrateGivesUpWithStatusOne) {
    const std::string lock = CrateLockPath(PathStyle::Posix(), program, "NIGHTLY DOCS");
    EXPECT_EQ(toPath(lock).parent_path(), toPath(program));
    InstanceLock held(lock);
    ASSERT_EQ(held.state(), InstanceLock::State::Owned);
    const ProgramRun run = start("-abu 'Nightly Docs'", "STOWAWAY_LOCK_WAIT=0");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("Another run of the Crate Nightly Docs was still going on"),
              std::string::npos)
        << run.output;
    EXPECT_FALSE(fs::exists(toPath(dir / "out/docs.zip")));
}

// A damaged state file is named by --status, which still lists the Crates, and
// the next backup keeps it aside and writes a sound one.
TEST_F(ScheduledRun, ADamagedStateFileNeverStopsTheCrates) {
    test::WriteFile(program + "/Stowaway.state", std::string("\x7f"
                                                             "ELF\x02\x01\n\0\0",
                                                             10));
    ProgramRun status = start("--status");
    EXPECT_NE(status.output.find("Nightly Docs"), std::string::npos) << status.output;
    EXPECT_NE(status.output.find("is damaged (line 1"), std::string::npos) << status.output;
    EXPECT_EQ(backup().status, 0);
    EXPECT_TRUE(fs::exists(toPath(program + "/Stowaway.state.damaged")));
    EXPECT_EQ(state().result, RunResult::Ok);
}

// A program folder that cannot be written but whose files can (the work files
// and the log of an earlier run): the archiver cannot keep its work there, so the
// backup fails as it always did; the run log also says the state was not saved,
// the state stays as it was and --status still reads it.
TEST_F(ScheduledRun, AReadOnlyProgramFolderLeavesTheStateAndSaysSo) {
    ASSERT_EQ(backup().status, 0);
    const std::string before = test::ReadFile(program + "/Stowaway.state");
    test::LetEveryoneIn(dir.path());
    ::chmod(program.c_str(), 0555);
    EXPECT_TRUE(test::RunAsOrdinaryUser([&] {
        const ProgramRun run = backup();
        const ProgramRun status = start("--status");
        return run.status == 1 && status.output.find("Nightly Docs  off") != std::string::npos;
    }));
    EXPECT_EQ(test::ReadFile(program + "/Stowaway.state"), before);
    EXPECT_NE(test::ReadFile(program + "/Log.txt")
                  .find("    Note: the run state was not saved: " + program +
                        "/Stowaway.state cannot be written."),
              std::string::npos);
}

}  // namespace
}  // namespace stowaway
