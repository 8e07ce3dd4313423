// The commit of a new set, step by step: a failure at any step puts the old
// set back, and a kill at any step is finished or undone by the next run.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "commit/CommitJournal.h"
#include "commit/FileSteps.h"
#include "commit/SetCommit.h"
#include "commit/VolumePlan.h"
#include "platform/os/Self.h"
#include "support/TestPlatforms.h"

namespace {

using stowaway::fromPath;
using stowaway::toPath;

namespace fs = std::filesystem;
using namespace pkzip::commit;
using stowaway::test::ReadFile;
using stowaway::test::WriteFile;

std::string Name(int disk, int disks) {
    if (disk + 1 == disks) return "set.zip";
    return "set.z" + std::string(disk < 9 ? "0" : "") + std::to_string(disk + 1);
}

class SetCommitTest : public ::testing::Test {
  protected:
    stowaway::test::TempDir temp;
    std::string dir = temp.path();
    void TearDown() override { SetFaultForTest(""); }
    std::string archive() const { return dir + "/set.zip"; }

    // An old set of `oldDisks` volumes in place, a new one of `newDisks`
    // under work names; the plan to replace one with the other.
    Journal Prepare(int oldDisks, int newDisks) {
        for (const auto& e : fs::directory_iterator(toPath(dir))) fs::remove(e.path());
        std::vector<std::string> old;
        for (int d = 0; d < oldDisks; ++d) {
            old.push_back(dir + "/" + Name(d, oldDisks));
            WriteFile(old.back(), "old " + Name(d, oldDisks));
        }
        NewSet set;
        for (int d = 0; d < newDisks; ++d) {
            const std::string work = dir + "/.set.zip.pkzip-1@h~w" + std::to_string(d);
            WriteFile(work, "new " + Name(d, newDisks));
            set.toPlace.push_back({work, dir + "/" + Name(d, newDisks)});
        }
        Journal j;
        std::string error;
        EXPECT_TRUE(PlanCommit(archive(), old, set, j, error)) << error;
        return j;
    }
    // What the folder holds: name -> content.
    std::map<std::string, std::string> Folder() const {
        std::map<std::string, std::string> out;
        for (const auto& e : fs::directory_iterator(toPath(dir))) {
            out[fromPath(e.path().filename())] = ReadFile(fromPath(e.path()));
        }
        return out;
    }
    std::map<std::string, std::string> SetOf(const char* which, int disks) const {
        std::map<std::string, std::string> out;
        for (int d = 0; d < disks; ++d)
            out[Name(d, disks)] = std::string(which) + " " + Name(d, disks);
        return out;
    }
    std::map<std::string, std::string> WithWork(std::map<std::string, std::string> m,
                                                int newDisks) const {
        for (int d = 0; d < newDisks; ++d) {
            m[".set.zip.pkzip-1@h~w" + std::to_string(d)] = "new " + Name(d, newDisks);
        }
        return m;
    }
};

const std::vector<std::pair<int, int>> kShapes = {{1, 1}, {2, 2}, {6, 6}, {6, 2},
                                                  {2, 6}, {0, 2}, {6, 1}};

TEST_F(SetCommitTest, AFailureAtEveryStepPutsTheOldSetBackAndSaysSo) {
    for (const auto& [oldDisks, newDisks] : kShapes) {
        const Journal plan = Prepare(oldDisks, newDisks);
        const size_t steps = plan.aside.size() + plan.place.size();
        for (size_t n = 1; n <= steps; ++n) {
            SCOPED_TRACE(std::to_string(oldDisks) + " -> " + std::to_string(newDisks) + ", step " +
                         std::to_string(n));
            SetFaultForTest("eio@" + std::to_string(n));
            std::string error;
            EXPECT_EQ(CommitSet(archive(), plan, error), Outcome::RolledBack);
            EXPECT_NE(error.find("every volume was put back where it was"), std::string::npos)
                << error;
            // The old set where it was, the new volumes under their work names, nothing else.
            EXPECT_EQ(Folder(), WithWork(SetOf("old", oldDisks), newDisks));
        }
        SetFaultForTest("");
        std::string error;
        EXPECT_EQ(CommitSet(archive(), plan, error), Outcome::Done) << error;
        EXPECT_EQ(Folder(), SetOf("new", newDisks));
    }
}

TEST_F(SetCommitTest, AKillAtEveryStepIsUndoneOrFinishedByTheNextRun) {
#ifdef _WIN32
    GTEST_SKIP() << "a forked copy of this process is a POSIX thing; ArchiverCommit kills the "
                    "archiver at every step on Windows";
#else
    for (const auto& [oldDisks, newDisks] : kShapes) {
        for (size_t n = 1;; ++n) {
            SCOPED_TRACE(std::to_string(oldDisks) + " -> " + std::to_string(newDisks) + ", step " +
                         std::to_string(n));
            const Journal plan = Prepare(oldDisks, newDisks);
            // Every move, then the point between the last rename and the clean-up.
            const size_t steps = plan.aside.size() + plan.place.size() + 1;
            const pid_t pid = ::fork();
            if (pid == 0) {
                SetFaultForTest("kill@" + std::to_string(n));
                std::string error;
                ::_exit(CommitSet(archive(), plan, error) == Outcome::Done ? 0 : 1);
            }
            int status = 0;
            ASSERT_EQ(::waitpid(pid, &status, 0), pid);
            if (n > steps) {
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
                EXPECT_EQ(Folder(), SetOf("new", newDisks));
                break;
            }
            ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
            EXPECT_TRUE(fs::exists(toPath(JournalPath(archive()))));
            std::string report;
            const Recovery r = Recover(archive(), report);
            // The last rename puts NAME.zip in place: only then is the new set whole.
            if (n == steps) {
                EXPECT_EQ(r, Recovery::Completed) << report;
                EXPECT_EQ(Folder(), SetOf("new", newDisks));
            } else {
                EXPECT_EQ(r, Recovery::RolledBack) << report;
                EXPECT_EQ(Folder(), SetOf("old", oldDisks));
            }
            EXPECT_EQ(Recover(archive(), report), Recovery::Nothing);
        }
    }
#endif
}

TEST_F(SetCommitTest, TheJournalKeepsOddNamesAndACutJournalIsDropped) {
    Journal j;
    j.host = "box-1.lan";
    j.pid = 4242;
    j.aside = {{dir + "/a\tb%.zip", dir + "/.a\nb.aside"}};
    j.place = {{dir + "/w 1", dir + "/x%41.z01", 7, 9}};
    j.stale = {dir + "/old\r.z03"};
    std::string error;
    ASSERT_TRUE(WriteJournal(dir + "/j", j, error)) << error;
    Journal back;
    bool missing = true;
    ASSERT_TRUE(ReadJournal(dir + "/j", back, missing, error)) << error;
    EXPECT_EQ(back.host, j.host);
    EXPECT_EQ(back.pid, j.pid);
    ASSERT_EQ(back.aside.size(), 1u);
    EXPECT_EQ(back.aside[0].final, j.aside[0].final);
    EXPECT_EQ(back.aside[0].aside, j.aside[0].aside);
    ASSERT_EQ(back.place.size(), 1u);
    EXPECT_EQ(back.place[0].final, j.place[0].final);
    EXPECT_EQ(back.place[0].ino, 9u);
    EXPECT_EQ(back.stale, j.stale);

    // Cut before its end line: written, but nothing had moved yet.
    const std::string text = ReadFile(dir + "/j");
    WriteFile(JournalPath(archive()), text.substr(0, text.size() - 4));
    WriteFile(archive(), "old");
    std::string report;
    EXPECT_EQ(Recover(archive(), report), Recovery::RolledBack);
    EXPECT_FALSE(fs::exists(toPath(JournalPath(archive()))));
    EXPECT_EQ(ReadFile(archive()), "old");
}

TEST_F(SetCommitTest, ALiveRunsJournalIsLeftAlone) {
    Journal j = Prepare(2, 2);
    std::string error;
    ASSERT_TRUE(WriteJournal(JournalPath(archive()), j, error));  // our own process: alive
    std::string report;
    EXPECT_EQ(Recover(archive(), report), Recovery::Busy);
    EXPECT_NE(report.find(std::to_string(stowaway::os::ProcessId())), std::string::npos) << report;
    fs::remove(toPath(JournalPath(archive())));
    j.host = "another-machine";
    ASSERT_TRUE(WriteJournal(JournalPath(archive()), j, error));
    EXPECT_EQ(Recover(archive(), report), Recovery::Busy);
    EXPECT_NE(report.find("another-machine"), std::string::npos) << report;
    EXPECT_TRUE(fs::exists(toPath(JournalPath(archive()))));
}

TEST_F(SetCommitTest, OldVolumesInAnotherFolderAreRemovedWithTheOldSet) {
    // The old set's first volumes were found elsewhere; the new one is whole here.
    fs::create_directories(toPath(dir + "/elsewhere"));
    WriteFile(dir + "/elsewhere/set.z01", "old set.z01");
    WriteFile(archive(), "old set.zip");
    WriteFile(dir + "/.w", "new");
    NewSet set;
    set.toPlace = {{dir + "/.w", archive()}};
    Journal j;
    std::string error;
    ASSERT_TRUE(PlanCommit(archive(), {dir + "/elsewhere/set.z01", archive()}, set, j, error));
    EXPECT_EQ(j.stale, std::vector<std::string>{dir + "/elsewhere/set.z01"});
    EXPECT_EQ(CommitSet(archive(), j, error), Outcome::Done) << error;
    EXPECT_FALSE(fs::exists(toPath(dir + "/elsewhere/set.z01")));
    EXPECT_EQ(ReadFile(archive()), "new");
}

}  // namespace
