#include "startup/Startup.h"

#include <gtest/gtest.h>

#include "startup/App.h"
#include "support/TestPlatforms.h"

namespace stowaway {
namespace {

TEST(Startup, WithCratesTheFirstIsSelectedAndShown) {
    test::TestProgram p(true);
    test::WriteFile(p.native("C:\\Backup\\Stowaway.dat"),
                    "\"MAX=1\"\r\n\"LOGPATH=C:\\Backup\\Log.txt\"\r\n\"LOGVIEW=v\"\r\n"
                    "\"SNAME=Documents\"\r\n\"SBLOC=D:\\a.zip\"\r\n\"SFOLDMAX=1\"\r\n"
                    "\"SFOLD=R+ C:\\Data\\*.*\"\r\n\"SNAME=Mail\"\r\n");
    App& app = *p.app;
    app.DataFilePath.clear();
    RunInteractiveStartup(app);
    EXPECT_EQ(app.WindowsDir, "C:\\WINDOWS");
    EXPECT_EQ(app.DataFilePath, "C:\\Backup\\Stowaway.dat");
    EXPECT_EQ(app.store.CurrentIndex, 0);
    EXPECT_EQ(app.FrmMain.LstCrate.listIndex(), 0);
    EXPECT_EQ(app.FrmMain.TxtBackupLocation.text(), "D:\\a.zip");
    EXPECT_EQ(app.FrmMain.LstDir.items(), (std::vector<std::string>{"R+ C:\\Data\\*.*"}));
    EXPECT_TRUE(app.FrmMain.LstDir.enabled());
    EXPECT_EQ(app.FrmMain.StBMain.panelText(), "Stowaway Loaded Successfully");
    EXPECT_EQ(app.FrmMain.TxtDateIncludeExclude.text(), p.platform->shortDate(p.platform->now()));
    EXPECT_EQ(app.FrmMain.DirSelect.path(), "C:\\");
    EXPECT_EQ(app.FrmMain.CmdBackup.toolTip(), "Backup Crate");
}

TEST(Startup, WithoutCratesNothingIsSelectedAndTheCrateControlsStayOff) {
    test::TestProgram p;
    RunInteractiveStartup(*p.app);
    MainForm& f = p.app->FrmMain;
    EXPECT_EQ(p.app->store.CurrentIndex, -1);
    for (Control* c : std::initializer_list<Control*>{&f.LstDir, &f.LstFile, &f.DrvSelect,
                                                      &f.HSlCompression, &f.TxtBackupLocation,
                                                      &f.ChkArgumentEditing, &f.CmdSelectDir})
        EXPECT_FALSE(c->enabled()) << c->name();
    EXPECT_EQ(f.LstDir.colours(), ColourState::Greyed);
    for (Control* c : std::initializer_list<Control*>{&f.LstCrate, &f.CmdAddCrate, &f.CmdBackup,
                                                      &f.CmdBrowseRestore, &f.CmdDeleteBackup,
                                                      &f.ChkHideOutput, &f.TxtLogPath})
        EXPECT_TRUE(c->enabled()) << c->name();
    // The first drive: "/" on POSIX, the system drive on Windows.
    EXPECT_EQ(f.DirSelect.path(), p.platform->drives().at(0));
}

TEST(Startup, ToolTipsCoverThirtyNineControls) {
    MainForm form;
    ApplyToolTips(form);
    int withTip = 0;
    for (Control* c : form.controls()) withTip += c->toolTip().empty() ? 0 : 1;
    EXPECT_EQ(withTip, 39);
    EXPECT_TRUE(form.ChkRecurse.toolTip().empty());
    EXPECT_TRUE(form.TxtDebug.toolTip().empty());
}

}  // namespace
}  // namespace stowaway
