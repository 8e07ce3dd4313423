#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "engine/schedule/ScheduleFakes.h"
#include "engine/schedule/SystemdUnits.h"
#include "store/RunStateFile.h"
#include "store/settings/CrateSettings.h"
#include "store/settings/SettingsFile.h"
#include "ui/qt/QtHarness.h"

namespace stowaway {
namespace {

using test::QtProgram;
using test::RecordingActivation;

// Four Crates: one scheduled that backs up well, one whose last run failed and
// that is overdue, one never scheduled, one whose good backups stopped 10 days ago.
struct ScheduleScreen : test::ToolScreen {
    ScheduleScreen() {
        window = &p.start();
        p.app.schedulerHooks =
            SchedulerHooks{&activation, nullptr, p.dir.path() + "/config/systemd/user", "systemd"};
        for (const char* name : {"Documents", "Mail", "Photos", "Music"}) {
            p.type("TxtAddCrate", name);
            p.click("CmdAddCrate");
        }
        Settings settings;
        SetCrateSchedule(settings, "Documents", DailyAt(2, 30));
        SetCrateSchedule(settings, "Mail", WeekdaysAt(0b0011111, 18, 15));
        SetCrateOverdueDays(settings, "Mail", 3);
        std::string error;
        EXPECT_TRUE(SaveSettings(p.platform, p.app.settingsPath(), settings, error)) << error;
        const std::time_t now = p.platform.now();
        record("Documents", RunResult::Ok, now - 7200, now - 7200, "");
        record("Mail", RunResult::Failed, now - 1800, now - 9 * 86400,
               "PKZIP: Can't open /home/ann/Mail (no such folder)");
        record("Music", RunResult::Ok, now - 10 * 86400, now - 10 * 86400, "");
    }
    void record(const std::string& crate, RunResult result, std::time_t ended, std::time_t good,
                const std::string& line) {
        const RunStateSave saved = UpdateRunState(
            p.platform, RunStatePath(p.platform, p.app.ProgramFolder), [&](RunStateTable& states) {
                CrateRunState& state = states.entry(crate);
                state.firstRun = good;
                state.started = ended - 95;
                state.ended = ended;
                state.result = result;
                state.error = line;
                state.lastGood = good;
            });
        EXPECT_TRUE(saved.saved) << saved.problem;
    }
    void open() {
        ToolScreen::open("MnuToolsSchedule", &QtFrontEnd::scheduleWindow);
        table = in<QTableWidget>("TblSchedules");
        ASSERT_TRUE(table);
    }
    void clickRow(int row) { ToolScreen::clickRow(table, row); }

    RecordingActivation activation;
    MainWindow* window = nullptr;
    QTableWidget* table = nullptr;
};

TEST(QtSchedule, TheToolsMenuStandsBeforeHelp) {
    ScheduleScreen s;
    QStringList titles;
    for (QAction* action : s.window->menuBar()->actions()) titles << action->text();
    EXPECT_EQ(titles, (QStringList{"&File", "&Edit", "&Advanced", "&Tools", "&Help"}));
    EXPECT_EQ(s.p.action("MnuToolsSchedule")->text(), "&Schedule...");
}

TEST(QtSchedule, TheDialogShowsSchedulesAFailedRunAndAnOverdueCrate) {
    ScheduleScreen s;
    s.open();
    ASSERT_EQ(s.table->rowCount(), 4);
    ASSERT_EQ(s.table->columnCount(), 7);
    EXPECT_EQ(s.table->horizontalHeaderItem(5)->text(), "Last good backup");
    EXPECT_EQ(s.table->item(0, 1)->text(), "daily 02:30");
    EXPECT_EQ(s.table->item(1, 1)->text(), "mon,tue,wed,thu,fri 18:15");
    EXPECT_EQ(s.table->item(1, 4)->text(),
              "failed: PKZIP: Can't open /home/ann/Mail (no such folder)");
    EXPECT_EQ(s.table->item(1, 6)->text(), "OVERDUE");
    EXPECT_EQ(s.table->item(2, 1)->text(), "off");
    // The rows that need the user stand out; the others do not.
    EXPECT_NE(s.table->item(1, 0)->background(), s.table->item(0, 0)->background());
    EXPECT_EQ(s.table->item(2, 0)->background(), s.table->item(0, 0)->background());
    EXPECT_EQ(s.table->item(3, 4)->text(), "ok");
    EXPECT_EQ(s.table->item(3, 6)->text(), "OVERDUE");
    EXPECT_EQ(s.table->item(3, 0)->background(), s.table->item(1, 0)->background());
    EXPECT_EQ(s.in<QLineEdit>("TxtWhen")->text(), "daily 02:30");
    for (const char* name :
         {"LblCrates", "LblWhen", "LblOverdueDays", "CmdApply", "CmdRemove", "CmdClose"})
        EXPECT_TRUE(CaptionFits(s.in(name))) << name;
    s.save("schedule-dialog");

    s.clickRow(1);
    EXPECT_EQ(s.p.app.FrmSchedule.TblSchedules.selected(), 1);
    EXPECT_EQ(s.in<QLineEdit>("TxtWhen")->text(), "mon,tue,wed,thu,fri 18:15");
    EXPECT_EQ(s.in<QLineEdit>("TxtOverdueDays")->text(), "3");
    s.save("schedule-failed");
    s.clickRow(3);
    EXPECT_EQ(s.in<QLineEdit>("TxtWhen")->text(), "off");
    EXPECT_EQ(s.in<QLineEdit>("TxtOverdueDays")->text(), "7");
    s.save("schedule-overdue");
}

TEST(QtSchedule, ApplyingFromTheDialogWritesTheUnitsAndShowsTheNewSchedule) {
    ScheduleScreen s;
    s.open();
    s.clickRow(2);
    QLineEdit* when = s.in<QLineEdit>("TxtWhen");
    when->selectAll();
    QTest::keyClicks(when, "sat,sun 10:00");
    QTest::mouseClick(s.in<QPushButton>("CmdApply"), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_EQ(s.table->item(2, 1)->text(), "sat,sun 10:00");
    EXPECT_EQ(s.in<QLabel>("LblMessage")->text(), "Photos is scheduled: sat,sun 10:00.");
    EXPECT_TRUE(QFile::exists(QString::fromStdString(s.p.dir.path() + "/config/systemd/user/" +
                                                     UnitBaseName("Photos") + ".timer")));
    s.save("schedule-applied");

    // An impossible time: said in a message box, and nothing changes.
    when->selectAll();
    QTest::keyClicks(when, "sat,sun 10:75");
    s.p.answerButton(0);
    QTest::mouseClick(s.in<QPushButton>("CmdApply"), Qt::LeftButton);
    QApplication::processEvents();
    ASSERT_FALSE(s.p.shown.empty());
    EXPECT_EQ(s.p.shown.back().text,
              "The schedule of Photos was not changed: there is no time 10:75 in a day (hours 00 "
              "to 23, minutes 00 to 59).");
    EXPECT_EQ(s.table->item(2, 1)->text(), "sat,sun 10:00");

    QTest::mouseClick(s.in<QPushButton>("CmdClose"), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_FALSE(s.dialog->isVisible());
}

}  // namespace
}  // namespace stowaway
