#include <gtest/gtest.h>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTest>
#include <QTreeView>
#include <filesystem>
#include <map>
#include <set>

#include "QtHarness.h"
#include "platform/NativeText.h"
#include "ui/main/ListScroll.h"

namespace stowaway::test {
namespace {

TEST(QtMainWindow, WidgetsSitAtTheFormsPlacesUnderTheControlsNames) {
    QtProgram p;
    MainWindow& window = p.start();
    MainForm& f = p.app.FrmMain;
    QWidget* tabControl = p.widget("SSTMain");
    ASSERT_NE(tabControl, nullptr);

    for (Control* control : f.controls()) {
        if (dynamic_cast<MenuItem*>(control)) continue;
        QWidget* w = p.widget(control->name());
        ASSERT_NE(w, nullptr) << control->name();
        const Place& place = control->place();
        if (control == &f.PrBMain || place.width == 0 || place.height == 0) continue;
        // Places on a tab page count from the tab control's top-left corner.
        const bool onPage = std::string(place.container).rfind("Tab", 0) == 0;
        const QPoint at = onPage ? w->mapTo(tabControl, QPoint(0, 0)) : w->pos();
        EXPECT_EQ(at, QPoint(place.x, place.y)) << control->name();
        // A label that grows with its caption keeps only its corner.
        if (!w->property("autoSize").toBool()) {
            EXPECT_EQ(w->size(), QSize(place.width, place.height)) << control->name();
        }
    }

    // Fixed size around a 600 x 349 client area.
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_EQ(p.widget("ClientArea")->size(), QSize(600, 349));
    // The progress bar ends at the right edge, over the status bar, clear of the panel.
    QWidget* bar = p.widget("PrBMain");
    QWidget* panel = p.widget("StBMainPanel");
    EXPECT_EQ(bar->geometry().right() + 1, 600);
    EXPECT_EQ(bar->y(), p.widget("StBMain")->y());
    EXPECT_LE(panel->mapTo(p.widget("ClientArea"), QPoint(panel->width(), 0)).x(), bar->x());
    EXPECT_EQ(p.widget("CmdBackup")->toolTip(), "Backup Crate");

    // The menu bar: four menus with the items, captions and shortcuts in order.
    const QList<QAction*> titles = window.menuBar()->actions();
    const auto menus = f.menus();
    ASSERT_EQ(titles.size(), static_cast<qsizetype>(menus.size()));
    for (std::size_t m = 0; m < menus.size(); ++m) {
        QMenu* menu = titles[static_cast<qsizetype>(m)]->menu();
        EXPECT_EQ(menu->objectName().toStdString(), menus[m].title->name());
        EXPECT_EQ(menu->title().toStdString(), menus[m].title->caption());
        const QList<QAction*> items = menu->actions();
        ASSERT_EQ(items.size(), static_cast<qsizetype>(menus[m].items.size()));
        for (std::size_t i = 0; i < menus[m].items.size(); ++i) {
            const MenuItem* item = menus[m].items[i];
            QAction* action = items[static_cast<qsizetype>(i)];
            EXPECT_EQ(action->objectName().toStdString(), item->name());
            EXPECT_EQ(action->isSeparator(), item->separator()) << item->name();
            if (item->separator()) continue;
            EXPECT_EQ(action->text().toStdString(), item->caption());
            EXPECT_EQ(action->shortcut(), QKeySequence(QString::fromStdString(item->shortcut())))
                << item->name();
        }
    }
}

TEST(QtMainWindow, EveryButtonMenuItemAndShortcutReachesItsCommand) {
    QtProgram p;
    MainWindow& window = p.start();
    MainForm& f = p.app.FrmMain;
    // Each command replaced by a counter (that every one is connected is a model test).
    std::map<std::string, int> taps;
    std::vector<Button*> buttons;
    for (Control* control : f.controls())
        if (auto* button = dynamic_cast<Button*>(control)) buttons.push_back(button);
    for (Button* button : buttons) {
        button->onClick = [&taps, name = button->name()] { ++taps[name]; };
        button->setEnabled(true);
    }
    p.hub.refreshAll();
    for (Button* button : buttons) {
        p.click(button->name());
        EXPECT_EQ(taps[button->name()], 1) << button->name();
    }

    for (auto& menu : f.menus()) {
        for (MenuItem* item : menu.items) {
            if (item->separator()) continue;
            item->onClick = [&taps, name = item->name()] { ++taps[name]; };
            p.action(item->name())->trigger();
            EXPECT_EQ(taps[item->name()], 1) << item->name();
        }
    }

    // The four shortcut keys, pressed on the window.
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_B, Qt::ControlModifier);
    QTest::keyClick(&window, Qt::Key_S, Qt::ControlModifier);
    QTest::keyClick(&window, Qt::Key_F5);
    QTest::keyClick(&window, Qt::Key_X, Qt::ControlModifier);
    for (const char* item :
         {"MnuEditBackupCrate", "MnuAdvancedSave", "MnuEditRefresh", "MnuFileExit"})
        EXPECT_EQ(taps[item], 2) << item;
}

TEST(QtMainWindow, TypingANameAndPressingAddListsTheCrateAndCtrlSSavesIt) {
    QtProgram p;
    MainWindow& window = p.start();
    auto* crates = p.widget<QComboBox>("LstCrate");
    // No Crate yet: the Crate controls are greyed, the strip still works.
    EXPECT_FALSE(p.widget("LstDir")->isEnabled());
    EXPECT_NE(p.widget("LstDir")->palette().color(QPalette::Base),
              QApplication::palette().color(QPalette::Base));

    p.type("TxtAddCrate", "Documents");
    p.click("CmdAddCrate");
    p.type("TxtAddCrate", "Pictures");
    p.click("CmdAddCrate");
    ASSERT_EQ(crates->count(), 2);
    EXPECT_EQ(crates->itemText(0), "Documents");
    EXPECT_EQ(crates->itemText(1), "Pictures");
    EXPECT_EQ(crates->currentText(), "Pictures");
    EXPECT_TRUE(p.widget("LstDir")->isEnabled());
    EXPECT_EQ(p.widget("LstDir")->palette().color(QPalette::Base),
              QApplication::palette().color(QPalette::Base));

    // Choosing from the list by keyboard makes the other Crate current.
    crates->setFocus();
    QTest::keyClick(crates, Qt::Key_Up);
    EXPECT_EQ(p.app.FrmMain.LstCrate.listIndex(), 0);
    EXPECT_EQ(p.app.store.CurrentIndex, 0);

    const std::string dataFile = p.file("Stowaway.dat");
    std::filesystem::remove(toPath(dataFile));
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_S, Qt::ControlModifier);
    const std::string saved = ReadFile(dataFile);
    EXPECT_NE(saved.find("Documents"), std::string::npos) << saved;
    EXPECT_NE(saved.find("Pictures"), std::string::npos) << saved;
}

TEST(QtMainWindow, ExitSavesOnceAndClosesTheWindow) {
    QtProgram p;
    MainWindow& window = p.start();
    p.type("TxtAddCrate", "Documents");
    p.click("CmdAddCrate");
    int closes = 0;
    Handler close = p.app.FrmMain.onClose;
    p.app.FrmMain.onClose = [&] {
        ++closes;
        Fire(close);
    };
    p.action("MnuFileExit")->trigger();
    EXPECT_FALSE(window.isVisible());
    EXPECT_NE(ReadFile(p.file("Stowaway.dat")).find("Documents"), std::string::npos);
    EXPECT_TRUE(p.app.FrmMain.ExitRequested);
    // Exit has saved already; the closing window does not ask the model again.
    EXPECT_EQ(closes, 0);
}

TEST(QtMainWindow, WidgetsFollowTheModelWithoutFeedingBackAndForwardInput) {
    QtProgram p;
    p.start();
    MainForm& f = p.app.FrmMain;
    p.type("TxtAddCrate", "Documents");
    p.click("CmdAddCrate");

    // Set from code: the widget shows it and the model hears of it only once.
    int changes = 0;
    Handler change = f.TxtLogPath.onChange;
    f.TxtLogPath.onChange = [&] {
        ++changes;
        Fire(change);
    };
    f.TxtLogPath.setText("/var/log/stowaway.txt");
    p.hub.refreshAll();
    EXPECT_EQ(p.widget<QLineEdit>("TxtLogPath")->text(), "/var/log/stowaway.txt");
    EXPECT_EQ(changes, 1);
    p.type("TxtLogPath", "ab");
    EXPECT_EQ(f.TxtLogPath.text(), "ab");
    EXPECT_EQ(changes, 3);  // "a" over the old text, then "ab"

    // Check boxes: a click goes to the model, a value from code comes back.
    auto* recurse = p.widget<QCheckBox>("ChkRecurse");
    p.click("ChkRecurse");
    EXPECT_EQ(f.ChkRecurse.value(), CheckBox::Unchecked);
    f.ChkRecurse.setValue(CheckBox::Checked);
    p.hub.refreshAll();
    EXPECT_TRUE(recurse->isChecked());

    // The filter boxes (their rules are model tests): the model's answer comes back.
    p.click("ChkIncludeExclude");
    EXPECT_TRUE(p.widget("CmdIncludeExclude")->isEnabled());
    p.click("CmdIncludeExclude");
    EXPECT_EQ(p.widget<QPushButton>("CmdIncludeExclude")->text(), "Exclude");

    // The slider: a key moves it, the model stores it, the label follows.
    p.showTab(1);
    EXPECT_EQ(f.SSTMain.tab(), 1);
    auto* slider = p.widget<QSlider>("HSlCompression");
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_Right);
    EXPECT_EQ(f.HSlCompression.value(), 6);
    EXPECT_EQ(p.widget<QLabel>("LblCompression")->text().toStdString(), f.LblCompression.caption());
    f.HSlCompression.setValue(10);
    p.hub.refreshAll();
    EXPECT_EQ(slider->value(), 10);

    // The mouse over the multi-disk box and the focus leaving the Browse button.
    int moves = 0;
    Handler move = f.ChkMultiDisk.onMouseMove;
    f.ChkMultiDisk.onMouseMove = [&] {
        ++moves;
        Fire(move);
    };
    QTest::mouseMove(p.widget("ChkMultiDisk"), QPoint(5, 5));
    EXPECT_GE(moves, 1);
    int leaves = 0;
    f.CmdBrowseBackupLoacation.onLostFocus = [&] { ++leaves; };
    QFocusEvent toDialog(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(p.widget("CmdBrowseBackupLoacation"), &toDialog);
    EXPECT_EQ(leaves, 0);
    QFocusEvent tabbedAway(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(p.widget("CmdBrowseBackupLoacation"), &tabbedAway);
    EXPECT_EQ(leaves, 1);

    // The echo box empties on a double click.
    f.TxtDebug.setText("pkzip25.exe -add");
    p.hub.refreshAll();
    QTest::mouseDClick(p.widget("TxtDebug"), Qt::LeftButton);
    EXPECT_EQ(f.TxtDebug.text(), "");
    EXPECT_EQ(p.widget<QLineEdit>("TxtDebug")->text(), "");

    // Status text and progress come across on the next pass of events.
    f.StBMain.setPanelText("Starting...");
    f.PrBMain.setValue(42);
    p.ui.processEvents();
    EXPECT_EQ(p.widget("StBMainPanel")->property("text").toString(), "Starting...");
    EXPECT_EQ(p.widget<QProgressBar>("PrBMain")->value(), 42);
}

// A status text longer than the panel keeps its start and its end in sight, and
// the whole text is the panel's tooltip; a short one shows as it is.
TEST(QtMainWindow, ALongStatusShowsItsStartAndEndAndWholeAsATooltip) {
    QtProgram p;
    p.start();
    MainForm& f = p.app.FrmMain;
    const QString text =
        "There was an Error in the Backup. Check the Log File or the PkZip Output Log for "
        "reasons: the medium is full and the old archive was left unchanged.";
    f.StBMain.setPanelText(text.toStdString());
    p.ui.processEvents();
    auto* panel = p.widget<QLabel>("StBMainPanel");
    const QString shown = panel->text();
    EXPECT_NE(shown, text);
    EXPECT_TRUE(shown.startsWith("There was an Error")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith("left unchanged.")) << shown.toStdString();
    EXPECT_LE(panel->fontMetrics().horizontalAdvance(shown), panel->contentsRect().width());
    EXPECT_EQ(panel->toolTip(), text);
    EXPECT_EQ(panel->property("statusText").toString(), text);

    f.StBMain.setPanelText("Backup Complete");
    p.ui.processEvents();
    EXPECT_EQ(panel->text(), "Backup Complete");
    EXPECT_EQ(panel->toolTip(), "");  // the status bar's own tooltip shows
    EXPECT_EQ(p.widget("StBMain")->toolTip(), "Status Bar");
}

TEST(QtMainWindow, SelectionListsMirrorEntriesSelectionAndSidewaysExtent) {
    QtProgram p;
    p.start();
    MainForm& f = p.app.FrmMain;
    p.type("TxtAddCrate", "Documents");
    p.click("CmdAddCrate");
    auto* folders = p.widget<QListWidget>("LstDir");

    f.LstDir.addItem("/home/b R+");
    f.LstDir.addItem("/home/a R+");
    p.hub.refreshAll();
    ASSERT_EQ(folders->count(), 2);
    EXPECT_EQ(folders->item(0)->text(), "/home/a R+");
    EXPECT_EQ(folders->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);

    // A selection by the user reaches the model; the double click removes it.
    QTest::mouseClick(folders->viewport(), Qt::LeftButton, {},
                      folders->visualItemRect(folders->item(1)).center());
    EXPECT_FALSE(f.LstDir.selected(0));
    EXPECT_TRUE(f.LstDir.selected(1));
    QTest::mouseDClick(folders->viewport(), Qt::LeftButton, {},
                       folders->visualItemRect(folders->item(1)).center());
    ASSERT_EQ(folders->count(), 1);
    EXPECT_EQ(f.LstDir.count(), 1);
    EXPECT_EQ(folders->item(0)->text(), "/home/a R+");

    // The running extent decides how far the list scrolls sideways.
    f.LstDir.setHorizontalExtent(1200);
    p.hub.refreshAll();
    EXPECT_EQ(folders->horizontalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    folders->show();
    QApplication::processEvents();
    EXPECT_GT(folders->horizontalScrollBar()->maximum(), 1200 - folders->viewport()->width() - 20);
}

// A rule of wide letters is wider than six pixels a character: scrolled fully
// right, its last character still shows whole, and removing it keeps the range.
TEST(QtMainWindow, TheLongestFolderRuleShowsToItsLastCharacter) {
    QtProgram p;
    MainWindow& window = p.start();
    p.type("TxtAddCrate", "Documents");
    p.click("CmdAddCrate");
    auto* folders = p.widget<QListWidget>("LstDir");
    const std::string rule = "/" + std::string(60, 'W') + " R+";
    p.app.FrmMain.LstDir.addItem(rule);
    ExtendListScroll(p.app, p.app.FrmMain.LstDir, rule);
    p.hub.refreshAll();
    window.show();
    QApplication::processEvents();
    QScrollBar* bar = folders->horizontalScrollBar();
    bar->setValue(bar->maximum());
    QApplication::processEvents();
    const int textWidth = folders->fontMetrics().horizontalAdvance(QString::fromStdString(rule));
    const QRect item = folders->visualItemRect(folders->item(0));
    EXPECT_GE(item.width(), textWidth + 4);
    EXPECT_LE(item.right(), folders->viewport()->width());
    const int range = bar->maximum();
    p.app.FrmMain.LstDir.removeItem(0);
    p.app.FrmMain.LstDir.addItem("/short R+");
    p.hub.refreshAll();
    QApplication::processEvents();
    EXPECT_EQ(bar->maximum(), range);
}

// The folder tree scrolls sideways to show a deep folder's whole name.
TEST(QtMainWindow, TheFolderTreeScrollsSidewaysForDeepNames) {
    QtProgram p;
    MainWindow& window = p.start();
    p.type("TxtAddCrate", "Documents");
    p.click("CmdAddCrate");
    TempDir tree;
    const std::string deep = tree / "first-level/second-level/third-level-with-a-long-name";
    std::filesystem::create_directories(toPath(deep));
    p.app.FrmMain.DirSelect.setPath(deep);
    p.hub.refreshAll();
    window.show();
    auto* view = p.widget<QTreeView>("DirSelect");
    ASSERT_TRUE(view);
    // The file system model fills in the background.
    for (int i = 0; i < 100 && view->horizontalScrollBar()->maximum() == 0; ++i) {
        QTest::qWait(20);
    }
    EXPECT_EQ(view->horizontalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    EXPECT_GT(view->horizontalScrollBar()->maximum(), 0);
    const QRect current = view->visualRect(view->currentIndex());
    const int nameWidth = view->fontMetrics().horizontalAdvance("third-level-with-a-long-name");
    EXPECT_GE(current.width(), nameWidth);
}

}  // namespace
}  // namespace stowaway::test

namespace stowaway::test {
namespace {

// The Tab key goes as a person reads: the Crate strip, the tabs, then each page's
// controls row by row, left to right, a frame at a time.
TEST(QtMainWindow, TabOrderFollowsTheReadingOrder) {
    QtProgram p;
    MainWindow& window = p.start();
    const std::vector<std::string> expected = {
        "LstCrate", "CmdBackup", "CmdRestore", "CmdDeleteCrate", "CmdRenameCrate", "TxtAddCrate",
        "CmdAddCrate", "TxtDebug", "SSTMainTabs",
        // Crate Data
        "DrvSelect", "ChkRecurse", "ChkIncludeExclude", "CmdIncludeExclude", "TxtDirWildcard",
        "ChkDateIncludeExclude", "CmdDateIncludeExclude", "TxtDateIncludeExclude",
        "TxtDateDirWildcard", "DirSelect", "CmdSelectDir", "CmdDeSelectDir", "LstDir", "FileSelect",
        "CmdSelectFile", "CmdDeSelectFile", "LstFile",
        // Crate Options
        "CmdBrowseBackupLoacation", "CmdDeleteBackup", "TxtBackupLocation", "HSlCompression",
        "CmdBrowseRestore", "TxtRestoreLocation", "ChkOverwriteOlder", "ChkUpdateOnly",
        "ChkMultiDisk",
        // Program Options
        "CmdBrowseLogFile", "TxtLogPath", "CmdBrowseTxtViewer", "TxtLogViewer",
        "ChkArgumentEditing", "ChkHideOutput"};
    const std::set<std::string> wanted(expected.begin(), expected.end());
    std::vector<std::string> chain;
    QWidget* first = p.widget("LstCrate");
    ASSERT_TRUE(first);
    QWidget* w = first;
    do {
        const std::string name = w->objectName().toStdString();
        if (wanted.count(name) && w->window() == &window) chain.push_back(name);
        w = w->nextInFocusChain();
    } while (w && w != first && chain.size() < expected.size() + 5);
    EXPECT_EQ(chain, expected);
}

}  // namespace
}  // namespace stowaway::test
