#include "support/SystemSupport.h"
#include "ui/dialogs/ArgumentDialog.h"

#include <gtest/gtest.h>

#include "engine/JobGuard.h"
#include "platform/Text.h"
#include "ui/main/StartedProgram.h"

namespace stowaway {
namespace {

using test::Count;
using test::StartedProgram;

constexpr const char* RunError =
    "There was an Error in the Backup. See the PkZip Output log for details.";

// A backup of the first Crate with argument editing on: the dialog takes over.
StartedProgram& StopAtTheDialog(StartedProgram& s) {
    s.f.ChkArgumentEditing.click();
    s.f.CmdBackup.click();
    return s;
}

TEST(ArgumentDialog, ShowsTheLineInTheFlavoursCaseAndRunsTheEditedLine) {
    StartedProgram s({"Mail"});
    StopAtTheDialog(s);
    ArgumentForm& d = s.app.FrmArgument;
    EXPECT_TRUE(d.visible());
    EXPECT_EQ(s.f.StBMain.panelText(), "Starting...");
    const std::string shown = d.TxtArgumentLine.text();
    // Lower case in the Windows flavour (POSIX keeps the case, as its runs do); one
    // blank between the trimmed parts.
    const JobState& job = s.app.job;
    EXPECT_EQ(shown, ToLower(Trim(job.ArchiverCommand) + " " + Trim(job.ArchiverTail)));
    EXPECT_NE(job.ArchiverCommand.find("PKZIP25.EXE"), std::string::npos);
    EXPECT_NE(shown.find("pkzip25.exe"), std::string::npos);
    EXPECT_NE(shown.find("d:\\mail.zip"), std::string::npos);
    EXPECT_EQ(shown.find("  "), std::string::npos);

    // The edited box is what the batch file runs, in the flavour's case.
    std::string edited = shown;
    edited.replace(edited.find("-path=full "), 11, "-PATH=none ");
    d.TxtArgumentLine.setText(edited);
    d.CmdOKBackup.click();
    const std::string batch = test::ReadFile(s.p.native(s.app.job.BatchPath));
    EXPECT_NE(batch.find(ToLower(edited) + "\r\n"), std::string::npos) << batch;
    EXPECT_EQ(batch.find("-path=full"), std::string::npos);
    // No interpreter in the test's program folder: the run fails and says so.
    EXPECT_EQ(s.f.StBMain.panelText(), RunError);
    EXPECT_EQ(s.f.PrBMain.value(), 0);
    EXPECT_TRUE(d.visible());
    EXPECT_FALSE(s.app.job.Running);

    // The strings stay, so a second press runs again: two runs in the log.
    d.CmdOKBackup.click();
    const std::string log = test::ReadFile(s.p.native(s.app.store.LogPath));
    EXPECT_EQ(Count(log, "Stowaway v2.0 - Standard Backup"), 2);
}

TEST(ArgumentDialog, CancelForgetsTheLineAndTheNextBackupShowsItsOwn) {
    StartedProgram s({"Mail", "Work"});
    StopAtTheDialog(s);
    ArgumentForm& d = s.app.FrmArgument;
    const std::string batchBefore = test::ReadFile(s.p.native(s.app.job.BatchPath));
    d.CmdCancelBackup.click();
    EXPECT_FALSE(d.visible());
    EXPECT_TRUE(s.app.job.ArchiverCommand.empty() && s.app.job.ArchiverTail.empty());
    EXPECT_EQ(s.f.StBMain.panelText(), "Starting...");
    EXPECT_EQ(test::ReadFile(s.p.native(s.app.job.BatchPath)), batchBefore);

    s.f.LstCrate.setListIndex(1);
    s.f.MnuEditBackupCrate.click();
    EXPECT_TRUE(d.visible());
    EXPECT_NE(d.TxtArgumentLine.text().find("d:\\work.zip"), std::string::npos);
    EXPECT_EQ(d.TxtArgumentLine.text().find("d:\\mail.zip"), std::string::npos);

    // Closing through the frame unloads it; the next backup loads it anew.
    Fire(d.onUnload);
    EXPECT_FALSE(d.visible() || d.loaded);
    EXPECT_TRUE(s.app.job.ArchiverCommand.empty());
    s.f.CmdBackup.click();
    EXPECT_TRUE(d.visible() && d.loaded);
    EXPECT_NE(d.TxtArgumentLine.text().find("d:\\work.zip"), std::string::npos);
}

TEST(ArgumentDialog, NoRunStartsWhileAnotherJobRunsAndPosixKeepsTheCase) {
    STOWAWAY_NEEDS(PosixPaths);
    StartedProgram s({"Mail"}, false);
    StopAtTheDialog(s);
    s.app.job.Running = true;
    s.app.FrmArgument.CmdOKBackup.click();
    EXPECT_EQ(s.f.StBMain.panelText(), JobRunningText);
    EXPECT_TRUE(s.app.job.Running);
    EXPECT_FALSE(s.p.platform->fileExists(s.app.store.LogPath));
    EXPECT_NE(s.app.FrmArgument.TxtArgumentLine.text().find("Mail.zip"), std::string::npos);
}

}  // namespace
}  // namespace stowaway
