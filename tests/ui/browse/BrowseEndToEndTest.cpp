// The browser with the real archiver: back up, change a file, back up again,
// then restore the file's first version from the browser to where it came from,
// answering the replace question that marks the newer file on disk.
#include <gtest/gtest.h>
#include <utime.h>

#include <filesystem>

#include "engine/versions/KeptCrateRig.h"
#include "platform/NativePlatform.h"
#include "startup/App.h"
#include "startup/AutomatedBackup.h"
#include "startup/Startup.h"
#include "support/TestPlatforms.h"
#include "tools/ToolTestSupport.h"
#include "ui/browse/BrowseCommands.h"

namespace stowaway {
namespace {

namespace fs = std::filesystem;

constexpr std::time_t December1 = 1796090400;  // 2026-12-01 02:00:00 UTC
constexpr std::time_t December6 = 1796522400;
constexpr std::time_t Day = 86400;

class BrowseEndToEnd : public test::KeptCrateRig {
  protected:
    void SetUp() override {
        KeptCrateRig::SetUp();
        if (IsSkipped()) return;
        letter = data + "/Letters/Dear Ann.txt";
        test::WriteFile(letter, "Dear Ann,\nall well.\n");
        tooltest::SetMtime(letter, December1);
        first = test::ReadFile(letter);
    }

    std::string letter, first;
};

TEST_F(BrowseEndToEnd, TheFirstVersionOfAChangedFileComesBackByteForByte) {
    backUp(December6);
    test::WriteFile(letter, "Dear Ann,\nsecond thoughts, and a longer letter.\n");
    tooltest::SetMtime(letter, December1 + Day);
    backUp(December6 + Day);

    App& a = fresh();
    a.ProgramFolder = program;
    RunInteractiveStartup(a);
    a.FrmMain.LstCrate.setListIndex(0);
    a.FrmMain.MnuToolsBrowse.click();
    BrowseForm& b = a.FrmBrowse;
    ASSERT_TRUE(b.visible());
    ASSERT_EQ(b.TblVersions.rows().size(), 2u);
    EXPECT_EQ(b.TblVersions.rows()[1].cells[0], "2026-12-06 02:00:00");

    b.TxtSearch.setText("dear ann");
    b.CmdSearch.click();
    ASSERT_EQ(b.TblResults.rows().size(), 2u);
    b.TblResults.select(0);
    ASSERT_EQ(b.TblHistory.rows().size(), 2u);
    EXPECT_EQ(b.TblHistory.rows()[0].cells[3], "changed");
    b.TblHistory.select(1);  // the oldest
    b.CmdRestoreOriginal.click();
    // The letter on disk is newer than the first version: asked, and marked.
    ASSERT_TRUE(b.TblReplace.visible()) << b.LblMessage.caption();
    ASSERT_EQ(b.TblReplace.rows().size(), 1u);
    EXPECT_EQ(b.TblReplace.rows()[0].cells[0], letter);
    EXPECT_TRUE(b.TblReplace.rows()[0].attention);
    b.CmdReplace.click();
    EXPECT_EQ(b.LblMessage.caption(), "Restored 1 of 1 file to their original place.");
    EXPECT_EQ(test::ReadFile(letter), first);
}

}  // namespace
}  // namespace stowaway
