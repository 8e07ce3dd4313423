// Restoring chosen files from a Crate's kept versions with the real archiver and
// interpreter: headless, to the original places or under a folder, with the
// preview of what would be replaced, damaged versions and a read-only target.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <filesystem>
#include <sstream>

#include "engine/versions/FileRestore.h"
#include "engine/versions/KeptCrateRig.h"
#include "platform/NativePlatform.h"
#include "startup/App.h"
#include "startup/AutomatedBackup.h"
#include "startup/RestoreCommand.h"
#include "support/TestPlatforms.h"
#include "tools/ToolTestSupport.h"
#include "ui/main/DataFileCommands.h"

namespace stowaway {
namespace {

namespace fs = std::filesystem;

constexpr std::time_t December1 = 1796090400;  // 2026-12-01 02:00:00 UTC
constexpr std::time_t December6 = 1796522400;
constexpr std::time_t Day = 86400;

// The archiver still runs at the first poll however fast it is, so that a cancel
// always meets it running.
class FirstPollRunning : public NativePlatform {
  public:
    using NativePlatform::NativePlatform;
    bool getExitCodeProcess(long handle, std::uint32_t& exitCode) override {
        if (polled_++ > 0) return NativePlatform::getExitCodeProcess(handle, exitCode);
        exitCode = StillActive;
        return true;
    }
    bool stopProcess(long pid) override {
        ++stops;
        return NativePlatform::stopProcess(pid);
    }
    int stops = 0;

  private:
    int polled_ = 0;
};

class RestoreFilesEndToEnd : public test::KeptCrateRig {
  protected:
    void SetUp() override {
        KeptCrateRig::SetUp();
        if (IsSkipped()) return;
        ann = data + "/Letters/Dear Ann.txt";
        old = data + "/Letters/old/1999.txt";
        test::WriteFile(ann, "Dear Ann,\nall well.\n");
        test::WriteFile(old, tooltest::Noise(5000, 1));
        tooltest::SetMtime(ann, December1);
        tooltest::SetMtime(old, December1 - Day);
        annFirst = test::ReadFile(ann);
        oldFirst = test::ReadFile(old);
    }

    // The archive of December 6 (the deleted file and the first letter), of December 7
    // (the second letter) and the current one (the third letter).
    void threeBackups() {
        backUp(December6);
        fs::remove_all(toPath(data + "/Letters/old"));
        test::WriteFile(ann, "Dear Ann,\nsecond thoughts.\n");
        tooltest::SetMtime(ann, December1 + Day);
        backUp(December6 + Day);
        test::WriteFile(ann, "Dear Ann,\nthird time.\n");
        tooltest::SetMtime(ann, December1 + 2 * Day);
        backUp(December6 + 2 * Day);
    }
    int restore(std::vector<std::string> arguments) {
        out.str("");
        err.str("");
        arguments.insert(arguments.begin(), "--restore");
        return RunRestoreCommand(fresh(), arguments, out, err);
    }
    std::string kept(const std::string& stamp) const {
        return dir / ("out/Docs-" + stamp + ".zip");
    }

    std::string ann, old, annFirst, oldFirst;
    std::ostringstream out, err;
};

TEST_F(RestoreFilesEndToEnd, RestoresADeletedFileAndTheFirstVersionOfAChangedOneHeadless) {
    threeBackups();
    ASSERT_TRUE(fs::exists(toPath(kept("2026-12-06_020000"))));
    ASSERT_TRUE(fs::exists(toPath(kept("2026-12-07_020000"))));

    // The deleted file, from the newest version that holds it: the first one.
    EXPECT_EQ(restore({"docs", old}), RestoreDone) << err.str();
    EXPECT_EQ(test::ReadFile(old), oldFirst);
    EXPECT_EQ(tooltest::Mtime(old), December1 - Day);
    EXPECT_EQ(out.str(), "Restored 1 of 1 file to their original places.\n");

    // The first letter: the one on disk is newer, so it stays until --force.
    EXPECT_EQ(restore({"Docs", "--version", "2026-12-06", "02:00:00", ann}), RestoreKeptNewer);
    EXPECT_EQ(test::ReadFile(ann), "Dear Ann,\nthird time.\n");
    EXPECT_NE(err.str().find("kept \"" + ann + "\": it is newer than the archive's copy"),
              std::string::npos)
        << err.str();
    EXPECT_EQ(restore({"Docs", "--version", "2026-12-06 02:00:00", "--force", ann}), RestoreDone)
        << err.str();
    EXPECT_EQ(test::ReadFile(ann), annFirst);
    EXPECT_EQ(tooltest::Mtime(ann), December1);

    // Under a chosen folder, the original path below it; a wildcard on the last part.
    const std::string back = dir / "back";
    EXPECT_EQ(restore({"Docs", "--version", "current", "--to", back, "*.TXT"}), RestoreDone)
        << err.str();
    EXPECT_EQ(test::ReadFile(back + ann), "Dear Ann,\nthird time.\n");
    // A full backup carries the entries of files deleted since: the current one too.
    EXPECT_EQ(test::ReadFile(back + old), oldFirst);
    EXPECT_NE(test::ReadFile(program + "/Log.txt").find("Stowaway v2.0 - Restore"),
              std::string::npos);
}

TEST_F(RestoreFilesEndToEnd, WhatIsNotThereOrNotUnderstoodEndsWithItsStatus) {
    threeBackups();
    EXPECT_EQ(restore({"Docs"}), RestoreUsage);
    EXPECT_EQ(restore({"Docs", "--to"}), RestoreUsage);
    EXPECT_EQ(restore({"Docs", "--overwrite", ann}), RestoreUsage);
    EXPECT_EQ(restore({"Nobody", ann}), RestoreFailed);
    EXPECT_NE(err.str().find("no Crate named \"Nobody\""), std::string::npos);
    EXPECT_EQ(restore({"Docs", "--version", "2020-01-01 00:00:00", ann}), RestoreFailed);
    EXPECT_NE(err.str().find("has no archive of \"2020-01-01 00:00:00\""), std::string::npos);
    // One pattern matches nothing: the others are still restored.
    fs::remove(toPath(old.c_str()));
    EXPECT_EQ(restore({"Docs", data + "/nothing.txt", old}), RestoreFailed);
    EXPECT_NE(err.str().find("holds \"" + data + "/nothing.txt\""), std::string::npos) << err.str();
    EXPECT_EQ(test::ReadFile(old), oldFirst);
}

// A damaged current archive and a kept set that lost its last volume are named,
// and the file comes from the newest version that can be read.
TEST_F(RestoreFilesEndToEnd, ADamagedOrIncompleteVersionDoesNotStopTheOthers) {
    threeBackups();
    const std::string whole = test::ReadFile(archive);
    test::WriteFile(archive, whole.substr(0, whole.size() / 2));
    test::WriteFile(dir / "out/Docs-2026-12-07_120000.z01", "the first volume of a set");
    EXPECT_EQ(restore({"Docs", "--force", ann}), RestoreDone) << err.str();
    EXPECT_EQ(test::ReadFile(ann), "Dear Ann,\nsecond thoughts.\n");
    EXPECT_NE(err.str().find("the archive \"" + archive + "\" is damaged"), std::string::npos)
        << err.str();
    EXPECT_NE(err.str().find("Docs-2026-12-07_120000.zip\" is incomplete"), std::string::npos)
        << err.str();
}

// The engine's side, as the browser uses it: the preview names every file that
// would be replaced and marks the newer ones; nothing is written to a read-only
// folder; a cancel before an archive stops there.
TEST_F(RestoreFilesEndToEnd, PreviewReadOnlyTargetAndCancel) {
    threeBackups();
    App& a = fresh();
    ArchiveName name;
    ASSERT_TRUE(SplitArchiveName(archive, '/', name));
    const std::vector<VersionEntries> versions = ListVersionEntries(*platform, name);
    ASSERT_EQ(versions.size(), 3u);
    const FilePick pick = PickFiles(versions, {data + "/Letters/"}, 2);
    ASSERT_EQ(pick.files.size(), 2u);

    // The first letter is older than the file on disk; the deleted one is not there.
    test::WriteFile(old, "in the way");
    tooltest::SetMtime(old, December1 - 2 * Day);
    RestorePreview preview = PreviewRestore(*platform, pick.files, "");
    ASSERT_EQ(preview.replaced.size(), 2u);
    EXPECT_EQ(preview.replaced[0].path, ann);
    EXPECT_TRUE(preview.replaced[0].newerOnDisk);
    EXPECT_EQ(preview.replaced[1].path, old);
    EXPECT_FALSE(preview.replaced[1].newerOnDisk);
    fs::remove(toPath(old));
    fs::create_directories(toPath(old));
    preview = PreviewRestore(*platform, pick.files, "");
    EXPECT_EQ(preview.blocked, std::vector<std::string>{old});
    fs::remove(toPath(old));

    FileRestoreRequest request;
    request.files = pick.files;
    request.cancelled = [] { return true; };
    FileRestoreOutcome outcome = RestoreFiles(a.jobContext(), request);
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_FALSE(outcome.ok);
    EXPECT_FALSE(fs::exists(toPath(old)));

    const std::string locked = dir / "locked";
    fs::create_directories(toPath(locked));
    fs::permissions(toPath(locked), fs::perms(0555));
    test::LetEveryoneIn(dir.path());
    fs::permissions(toPath(locked), fs::perms(0555));
    request.cancelled = {};
    request.target = locked + "/below";
    const bool told = test::RunAsOrdinaryUser([&] {
        const FileRestoreOutcome result = RestoreFiles(a.jobContext(), request);
        return !result.ok && result.problems.size() == 1 &&
               result.problems[0].find(
                   "cannot be written to: the disk is read-only or you lack "
                   "the permission. Nothing was restored") != std::string::npos;
    });
    EXPECT_TRUE(told);
    EXPECT_FALSE(fs::exists(toPath(locked + "/below")));
    // A relative target is below the working folder, and that one is checked.
    const std::string open = dir / "open";
    fs::create_directories(toPath(open));
    fs::permissions(toPath(open), fs::perms::all);
    request.target = "rel/below";
    const bool relative = test::RunAsOrdinaryUser(
        [&] { return ::chdir(open.c_str()) == 0 && RestoreFiles(a.jobContext(), request).ok; });
    EXPECT_TRUE(relative);
    EXPECT_EQ(test::ReadFile(open + "/rel/below" + ann), annFirst);

    request.target = dir / "chosen";
    outcome = RestoreFiles(a.jobContext(), request);
    EXPECT_TRUE(outcome.ok) << (outcome.problems.empty() ? "" : outcome.problems[0]);
    EXPECT_EQ(outcome.restored, 2);
    EXPECT_EQ(test::ReadFile(dir / "chosen" + ann), annFirst);
    EXPECT_EQ(test::ReadFile(dir / "chosen" + old), oldFirst);
}

// A cancel while the archiver runs stops it: the restore says so, and every file
// is either whole or not there.
TEST_F(RestoreFilesEndToEnd, ACancelWhileTheArchiverRunsStopsIt) {
    threeBackups();
    FirstPollRunning slow(program);
    test::FakeUi fakeUi;
    App a(slow, fakeUi);
    ArchiveName name;
    ASSERT_TRUE(SplitArchiveName(archive, '/', name));
    FileRestoreRequest request;
    request.files = PickFiles(ListVersionEntries(slow, name), {data + "/"}, 2).files;
    ASSERT_EQ(request.files.size(), 2u);
    request.target = dir / "chosen";
    int asked = 0;
    request.cancelled = [&] { return ++asked > 1; };  // not before the archive: while it runs
    const FileRestoreOutcome outcome = RestoreFiles(a.jobContext(), request);
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(slow.stops, 1);
    EXPECT_EQ(a.FrmMain.StBMain.panelText(), "Restore Aborted");
    for (const auto& [path, bytes] : {std::pair{ann, annFirst}, std::pair{old, oldFirst}}) {
        if (fs::exists(toPath(dir / "chosen" + path))) {
            EXPECT_EQ(test::ReadFile(dir / "chosen" + path), bytes);
        }
    }
}

}  // namespace
}  // namespace stowaway
