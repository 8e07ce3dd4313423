#include <gtest/gtest.h>
#include <sys/wait.h>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

#include <cerrno>
#include <filesystem>

#include "QtHarness.h"
#include "engine/ProcessWait.h"
#include "platform/NativeText.h"

namespace stowaway::test {
namespace {

TEST(QtUiServices, MessageBoxesAnswerWithTheButtonPressedAndShowTheTextAsked) {
    QtProgram p;
    p.start();
    p.shown.clear();
    p.answerButton(QMessageBox::No);
    p.answerButton(QMessageBox::Cancel);
    p.answerButton(0);
    EXPECT_EQ(p.ui.messageBox("Delete it?", "Confirm", MsgButtons::YesNo, MsgIcon::Question),
              MsgResult::No);
    EXPECT_EQ(p.ui.messageBox("Restore?", "Confirm", MsgButtons::OKCancel, MsgIcon::Information),
              MsgResult::Cancel);
    // The default button of a Yes/No question is Yes.
    EXPECT_EQ(
        p.ui.messageBox("Line one\r\nLine two", "Problem", MsgButtons::YesNo, MsgIcon::Exclamation),
        MsgResult::Yes);
    ASSERT_EQ(p.shown.size(), 3u);
    EXPECT_EQ(p.shown[2].title, "Problem");
    EXPECT_EQ(p.shown[2].text, "Line one\nLine two");
}

// The window is brought up to date before a box opens: under the box the status
// bar already says what the job set before asking.
TEST(QtUiServices, TheWindowShowsTheModelsStateWhileABoxIsUp) {
    QtProgram p;
    p.start();
    p.type("TxtAddCrate", "Documents");
    p.click("CmdAddCrate");
    p.shown.clear();
    p.answerButton(QMessageBox::Cancel);
    p.click("CmdRestore");
    ASSERT_EQ(p.shown.size(), 2u);
    EXPECT_EQ(p.shown[0].title, "Confirmation of Restore");
    EXPECT_EQ(p.shown[0].status, "Initializing...");
    EXPECT_EQ(p.widget<QLabel>("StBMainPanel")->text().toStdString(), "Restore Aborted");
}

// The window comes first, then the data file: its problem box stands over the window.
TEST(QtStartUp, TheWindowIsShownBeforeTheDataFileIsRead) {
    QtProgram p;
    WriteFile(p.file("Stowaway.dat"), "0\r\nlog.txt\r\nviewer\r\nOld\r\n");  // ends early
    p.start();
    // The load error, then where the damaged file was kept.
    ASSERT_EQ(p.shown.size(), 2u);
    EXPECT_EQ(p.shown[0].title, "Problem with Stowaway.dat");
    EXPECT_TRUE(p.shown[0].overWindow);
    EXPECT_EQ(p.shown[0].status, "Stowaway Loaded Successfully");
    EXPECT_EQ(p.shown[1].title, "Problem with Stowaway.dat");
    EXPECT_EQ(p.shown[1].text, "The file that could not be read was kept as " +
                                   p.file("Stowaway.dat.damaged") +
                                   " before Stowaway.dat is saved again.");
    EXPECT_EQ(ReadFile(p.file("Stowaway.dat.damaged")), "0\r\nlog.txt\r\nviewer\r\nOld\r\n");
}

TEST(QtUiServices, FileDialogsReturnThePathChosenOrNothing) {
    QtProgram p;
    p.start();
    TempDir files;
    WriteFile(files / "old.zip", "x");
    QStringList filters;
    p.ui.beforeModal = [&, answer = p.ui.beforeModal](QDialog& dialog) {
        if (auto* fd = qobject_cast<QFileDialog*>(&dialog)) filters = fd->nameFilters();
        answer(dialog);
    };

    p.answerPath(files / "old.zip");
    EXPECT_EQ(p.ui.browseForFile("Zip Files (*.zip)|*.zip|", "", FileDialogKind::Open),
              files / "old.zip");
    EXPECT_EQ(filters, QStringList{"Zip Files (*.zip)"});
    // A name that does not exist yet is taken as typed.
    p.answerPath(files / "new.zip");
    EXPECT_EQ(p.ui.browseForFile("Zip Files (*.zip)|*.zip|", "", FileDialogKind::Open),
              files / "new.zip");
    p.answerPath("");
    EXPECT_EQ(p.ui.browseForFile("Text Files (*.txt)|*.txt|", "", FileDialogKind::Open), "");

    std::filesystem::create_directories(toPath(files / "restore here"));
    p.answerPath(files / "restore here");
    EXPECT_EQ(p.ui.browseForFolder("Restore Location", ""), files / "restore here");
    EXPECT_EQ(p.shown.back().title, "Restore Location");
    p.answerPath("");
    EXPECT_EQ(p.ui.browseForFolder("Restore Location", ""), "");

    EXPECT_EQ(QtNameFilters("Executable Files (*.exe)|*.exe|"),
              QStringList{"Executable Files (*.exe)"});
    EXPECT_EQ(QtNameFilters("Archives|*.zip;*.jar|All|*|"),
              (QStringList{"Archives (*.zip *.jar)", "All (*)"}));
}

// Each picker opens where the box's value lies, or at the nearest folder above it
// that exists; the archive is chosen with a save dialog that asks nothing more
// when it exists.
TEST(QtUiServices, PickersOpenAtTheCurrentValuesFolder) {
    QtProgram p;
    p.start();
    p.type("TxtAddCrate", "Documents");
    p.click("CmdAddCrate");
    TempDir files;
    std::filesystem::create_directories(toPath(files / "restore/here"));
    WriteFile(files / "old.zip", "x");
    struct Seen {
        QString folder;
        QFileDialog::AcceptMode mode;
        bool asksOverwrite;
        QStringList selected;
    };
    std::vector<Seen> seen;
    p.ui.beforeModal = [&, answer = p.ui.beforeModal](QDialog& dialog) {
        if (auto* fd = qobject_cast<QFileDialog*>(&dialog))
            seen.push_back({fd->directory().absolutePath(), fd->acceptMode(),
                            !fd->testOption(QFileDialog::DontConfirmOverwrite),
                            fd->selectedFiles()});
        answer(dialog);
    };
    const QString base = QString::fromStdString(files.path());

    p.type("TxtRestoreLocation", files / "restore/here");
    p.click("CmdBrowseRestore");
    p.type("TxtRestoreLocation", files / "restore/gone/deeper");
    p.click("CmdBrowseRestore");
    p.type("TxtBackupLocation", files / "old.zip");
    p.answerPath(files / "old.zip");
    p.click("CmdBrowseBackupLoacation");
    p.type("TxtLogPath", files / "missing/log.txt");
    p.click("CmdBrowseLogFile");
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].folder, base + "/restore/here");
    EXPECT_EQ(seen[1].folder, base + "/restore");
    EXPECT_EQ(seen[2].folder, base);
    EXPECT_EQ(seen[2].mode, QFileDialog::AcceptSave);
    EXPECT_FALSE(seen[2].asksOverwrite);
    EXPECT_EQ(seen[2].selected, QStringList{base + "/old.zip"});
    EXPECT_EQ(p.widget<QLineEdit>("TxtBackupLocation")->text(), base + "/old.zip");
    EXPECT_EQ(seen[3].folder, base);
    EXPECT_EQ(seen[3].mode, QFileDialog::AcceptOpen);
}

TEST(QtUiServices, BusyPointerAndEventPassesBringTheWindowUpToDate) {
    QtProgram p;
    p.start();
    p.ui.setBusyPointer(true);
    p.ui.setBusyPointer(true);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    // A question during a job gets the ordinary pointer, and the hourglass comes back.
    p.ui.beforeModal = [answer = p.ui.beforeModal](QDialog& dialog) {
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        answer(dialog);
    };
    p.ui.messageBox("Sure?", "Confirm", MsgButtons::YesNo, MsgIcon::Question);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    p.ui.setBusyPointer(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(QtConsoleWindow, OneWindowPerJobTitledAfterItThatWrapsAndStaysUntilClosed) {
    QtProgram p;
    p.start();
    p.ui.consoleStarted("Backup of Documents - Stowaway", "stowaway-cmd /c /tmp/SWTemp.bat");
    ASSERT_EQ(p.ui.consoles().size(), 1u);
    ConsoleWindow* console = p.ui.consoles().front();
    EXPECT_TRUE(console->isVisible());
    EXPECT_EQ(console->windowTitle(), "Backup of Documents - Stowaway");
    EXPECT_EQ(console->toolTip(), "stowaway-cmd /c /tmp/SWTemp.bat");
    p.ui.consoleOutput("Adding a.txt\r\n");
    p.ui.consoleOutput("Adding b");
    p.ui.consoleOutput(".txt\r\n");
    EXPECT_EQ(console->text(), "Adding a.txt\nAdding b.txt\n");

    // A prompt longer than the window wraps: no sideways scrolling, several lines.
    auto* output = QtProgram::WidgetIn<QPlainTextEdit>(console, "ConsoleOutput");
    ASSERT_TRUE(output);
    EXPECT_NE(output->lineWrapMode(), QPlainTextEdit::NoWrap);
    const std::string path(400, 'x');
    p.ui.consoleOutput("Insert the disk for /media/" + path + " and press Enter: ");
    p.ui.processEvents();
    EXPECT_EQ(output->horizontalScrollBar()->maximum(), 0);
    EXPECT_GT(output->document()->lastBlock().layout()->lineCount(), 1);

    // It outlives the run; the same job run again reuses it, afresh and in front.
    EXPECT_TRUE(console->isVisible());
    p.ui.consoleStarted("Backup of Documents - Stowaway", "stowaway-cmd /c /tmp/SWTemp2.bat");
    p.ui.consoleOutput("second run");
    ASSERT_EQ(p.ui.consoles().size(), 1u);
    EXPECT_EQ(console->text(), "second run");
    EXPECT_EQ(console->toolTip(), "stowaway-cmd /c /tmp/SWTemp2.bat");

    // Another job gets a window of its own.
    p.ui.consoleStarted("Restore of Documents - Stowaway", "stowaway-cmd /c /tmp/SWTemp.bat");
    p.ui.consoleOutput("restoring");
    ASSERT_EQ(p.ui.consoles().size(), 2u);
    EXPECT_EQ(console->text(), "second run");
    EXPECT_EQ(p.ui.consoles().back()->text(), "restoring");

    // Closed by the user: gone, and later output goes nowhere.
    p.ui.consoles().back()->close();
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(p.ui.consoles().size(), 1u);
    p.ui.consoleOutput("late");
    EXPECT_EQ(p.ui.consoles().front()->text(), "second run");
}

// A program run through the command interpreter in a normal window asks for the
// next disk: the console shows the prompt at once, and the line the user types
// reaches the program through the interpreter.
TEST(QtConsoleWindow, APromptShowsAtOnceAndTheTypedAnswerReachesTheProgram) {
    QtProgram p;
    p.start();
    const std::filesystem::path interpreter = toPath(STOWAWAY_PROGRAM_DIR) / "stowaway-cmd";
    if (!std::filesystem::exists(interpreter)) GTEST_SKIP() << "the interpreter is not built";
    std::filesystem::copy_file(interpreter, toPath(p.file("stowaway-cmd")));
    const std::string asker = p.file("ask-for-disk");
    WriteFile(asker,
              "#!/bin/sh\n"
              "printf 'Insert disk 2 and press Enter: '\n"
              "if read answer; then echo \"got:$answer\"; else echo 'no answer'; fi\n");
    std::filesystem::permissions(toPath(asker), std::filesystem::perms::owner_all);
    const std::string batch = p.file("SWTemp.bat");
    WriteFile(batch, "@ECHO OFF\r\n" + asker + "\r\n");

    const std::string command = "COMMAND.COM /c \"" + batch + "\"";
    p.ui.consoleStarted("Backup of Documents - Stowaway", command);
    const long pid = p.platform.startProcess(command, WindowStyle::NormalFocus);
    ASSERT_NE(pid, 0);
    ConsoleWindow* console = p.ui.consoles().back();
    auto* input = QtProgram::WidgetIn<QLineEdit>(console, "ConsoleInput");
    ASSERT_TRUE(input);
    EXPECT_FALSE(input->isEnabled());
    int polls = 0;
    bool answered = false;
    const std::uint32_t status = WaitForProcess(p.app.jobContext(), pid, true, [&] {
        if (!answered && console->text().endsWith("Insert disk 2 and press Enter: ")) {
            EXPECT_TRUE(input->isEnabled());
            // What a person sees while the archiver waits.
            const std::string folder = std::string(STOWAWAY_PROGRAM_DIR) + "/../qt-screenshots";
            std::filesystem::create_directories(toPath(folder));
            console->grab().save(QString::fromStdString(folder + "/console-prompt.png"));
            QTest::keyClicks(input, "disk two");
            QTest::keyClick(input, Qt::Key_Return);
            answered = true;
        } else if (!answered && ++polls > 400) {
            p.platform.writeConsoleInput(pid, "\n");  // never seen: let it end
            answered = true;
        }
    });
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(console->text(), "Insert disk 2 and press Enter: disk two\ngot:disk two\n");
    EXPECT_FALSE(input->isEnabled());
}

// A viewer that fails at once (xdg-open without a browser exits 3) could not show
// the help: the "Help File Error" box, and the viewer does not stay a zombie.
TEST(QtHelp, AViewerThatFailsAtOnceGivesTheHelpFileErrorAndIsReaped) {
    QtProgram p;
    p.start();
    TempDir viewers;
    p.app.WindowsDir = viewers.path();
    const std::string pidFile = viewers / "pid";
    for (int status : {3, 0}) {
        WriteFile(viewers / "xdg-open",
                  "#!/bin/sh\necho $$ > '" + pidFile + "'\nexit " + std::to_string(status) + "\n");
        std::filesystem::permissions(toPath(viewers / "xdg-open"),
                                     std::filesystem::perms::owner_all);
        p.shown.clear();
        p.action("MnuHelpContents")->trigger();
        if (status == 0) {
            EXPECT_TRUE(p.shown.empty());
        } else {
            ASSERT_EQ(p.shown.size(), 1u);
            EXPECT_EQ(p.shown[0].title, "Help File Error");
            EXPECT_EQ(p.shown[0].text,
                      "Stowaway is unable to load the help file internally. Please us the Start "
                      "Menu to open the help file.");
        }
        const pid_t pid = std::stoi(ReadFile(pidFile));
        EXPECT_EQ(::waitpid(pid, nullptr, WNOHANG), -1) << "exit " << status;
        EXPECT_EQ(errno, ECHILD);
    }
}

TEST(QtAboutBox, OpensBesideTheUsableMainWindowAndOkHidesIt) {
    QtProgram p;
    MainWindow& window = p.start();
    p.action("MnuHelpAbout")->trigger();
    AboutBox* about = p.frontEnd.aboutBox();
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isVisible());
    EXPECT_EQ(about->windowTitle(), "About");
    EXPECT_EQ(about->size(), QSize(530, 369));
    EXPECT_EQ(QtProgram::WidgetIn<QLabel>(about, "LblVersion")->text(), "Version 2.0");
    EXPECT_FALSE(QtProgram::WidgetIn<QLabel>(about, "ImgLogo")->pixmap().isNull());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(window.isEnabled());

    auto* ok = QtProgram::WidgetIn<QPushButton>(about, "CmdOkAbout");
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_FALSE(about->isVisible());
    p.action("MnuHelpAbout")->trigger();
    EXPECT_TRUE(about->isVisible());
    // Its close box hides it too.
    about->close();
    EXPECT_FALSE(p.app.FrmAbout.visible());
}

TEST(QtArgumentDialog, MirrorsTheLineForwardsEditsAndButtonsAndUnloadsOnClose) {
    QtProgram p;
    p.start();
    ArgumentForm& form = p.app.FrmArgument;
    int backups = 0, cancels = 0, unloads = 0;
    form.CmdOKBackup.onClick = [&] { ++backups; };
    form.CmdCancelBackup.onClick = [&] {
        ++cancels;
        form.hide();
    };
    form.onUnload = [&] { ++unloads; };
    form.TxtArgumentLine.setText("pkzip25.exe -add a.zip @list");
    form.show();
    p.hub.refreshAll();
    ArgumentDialog* dialog = p.frontEnd.argumentDialog();
    ASSERT_TRUE(dialog && dialog->isVisible());
    EXPECT_EQ(dialog->windowTitle(), "PKZIP Command Line Argument Editing");
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    auto* line = QtProgram::WidgetIn<QLineEdit>(dialog, "TxtArgumentLine");
    EXPECT_EQ(line->text(), "pkzip25.exe -add a.zip @list");

    line->setFocus();
    line->end(false);
    QTest::keyClicks(line, " -x");
    EXPECT_EQ(form.TxtArgumentLine.text(), "pkzip25.exe -add a.zip @list -x");
    QTest::mouseClick(QtProgram::WidgetIn<QPushButton>(dialog, "CmdOKBackup"), Qt::LeftButton);
    EXPECT_EQ(backups, 1);
    QTest::mouseClick(QtProgram::WidgetIn<QPushButton>(dialog, "CmdCancelBackup"), Qt::LeftButton);
    EXPECT_EQ(cancels, 1);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(unloads, 0);

    form.show();
    p.hub.refreshAll();
    dialog->close();
    EXPECT_EQ(unloads, 1);
    EXPECT_FALSE(form.visible());
}

TEST(QtAbuWindow, ShowsTheBackupsStatusAndProgressOnEachEventPass) {
    QtProgram p;
    p.frontEnd.showAbuWindow(p.app);
    AbuWindow* abu = p.frontEnd.abuWindow();
    ASSERT_NE(abu, nullptr);
    EXPECT_TRUE(abu->isVisible());
    EXPECT_EQ(abu->windowTitle(), "Stowaway - Automated Backup Utility");
    p.app.FrmABU.StBMain.setPanelText("Working...");
    p.app.FrmABU.PrBMain.setValue(60);
    p.ui.processEvents();
    EXPECT_EQ(QtProgram::WidgetIn<QLabel>(abu, "StBMainPanel")->text(), "Working...");
    EXPECT_EQ(QtProgram::WidgetIn<QProgressBar>(abu, "PrBMain")->value(), 60);
    EXPECT_EQ(p.frontEnd.mainWindow(), nullptr);
}

}  // namespace
}  // namespace stowaway::test
