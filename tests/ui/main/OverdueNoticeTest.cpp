#include "ui/main/OverdueNotice.h"

#include <gtest/gtest.h>

#include "store/RunStateFile.h"
#include "support/TestPlatforms.h"
#include "ui/main/MainFormLoad.h"

namespace stowaway {
namespace {

constexpr std::time_t Day = 24 * 60 * 60;

class OverdueNotice : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"Documents", "Photos", "Mail", "Never Run"})
            app.FrmMain.LstCrate.addItem(name);
        app.FrmMain.StBMain.setPanelText(LoadedStatusText);
    }
    void lastGood(const std::string& name, std::time_t daysAgo) {
        const std::time_t now = program.platform->now();
        ASSERT_TRUE(UpdateRunState(*program.platform,
                                   RunStatePath(*program.platform, app.ProgramFolder),
                                   [&](RunStateTable& table) {
                                       CrateRunState& s = table.entry(name);
                                       s.firstRun = now - 100 * Day;
                                       s.lastGood = now - daysAgo * Day;
                                   })
                        .saved);
    }
    test::TestProgram program{true};
    App& app = *program.app;
};

TEST_F(OverdueNotice, NamesTheOverdueCratesAfterTheStartUpTextAndAlertsOnce) {
    lastGood("Documents", 1);
    lastGood("Photos", 9);
    app.FrmMain.StBMain.setPanelText(LoadedStatusText);
    NoteOverdueCrates(app);
    EXPECT_EQ(app.FrmMain.StBMain.panelText(),
              "Overdue backup: Photos (no good backup for 7 days or more)");
    ASSERT_EQ(program.notifier->alerts.size(), 1u);
    EXPECT_EQ(program.notifier->alerts[0].title, "Stowaway: Photos is overdue");

    // The next start names it again; the desktop has heard of it already.
    lastGood("Mail", 30);
    app.FrmMain.StBMain.setPanelText(LoadedStatusText);
    NoteOverdueCrates(app);
    EXPECT_EQ(app.FrmMain.StBMain.panelText(), "Overdue backups: Photos, Mail");
    ASSERT_EQ(program.notifier->alerts.size(), 2u);
    EXPECT_EQ(program.notifier->alerts[1].title, "Stowaway: Mail is overdue");
}

TEST_F(OverdueNotice, LeavesTheStatusBarToWhatCameAfterTheStartUp) {
    lastGood("Photos", 9);
    app.FrmMain.StBMain.setPanelText("Working...");
    NoteOverdueCrates(app);
    EXPECT_EQ(app.FrmMain.StBMain.panelText(), "Working...");

    app.FrmMain.StBMain.setPanelText(LoadedStatusText);
    app.job.Running = true;
    NoteOverdueCrates(app);
    EXPECT_EQ(app.FrmMain.StBMain.panelText(), LoadedStatusText);

    // Nothing overdue: the start-up text stays.
    app.job.Running = false;
    lastGood("Photos", 0);
    NoteOverdueCrates(app);
    EXPECT_EQ(app.FrmMain.StBMain.panelText(), LoadedStatusText);
}

TEST_F(OverdueNotice, ADamagedStateFileIsToldAndTheCratesStay) {
    test::WriteFile(program.native("C:\\Backup\\Stowaway.state"), "[Photos]\nlast_good=soon\n");
    NoteOverdueCrates(app);
    ASSERT_EQ(program.ui.messages.size(), 1u);
    EXPECT_EQ(program.ui.messages[0].title, "Problem with Stowaway.state");
    EXPECT_NE(program.ui.messages[0].text.find("(line 2: the value of last_good cannot be read)"),
              std::string::npos)
        << program.ui.messages[0].text;
    EXPECT_EQ(app.FrmMain.LstCrate.count(), 4);
    EXPECT_EQ(app.FrmMain.StBMain.panelText(), LoadedStatusText);
}

}  // namespace
}  // namespace stowaway
