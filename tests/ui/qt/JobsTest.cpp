#include <gtest/gtest.h>
#include <QFileSystemModel>
#include <QLabel>
#include <QListWidget>
#include <QTest>
#include <QTreeView>
#include <filesystem>

#include "QtHarness.h"
#include "support/ProgramFolder.h"
#include "ui/qt/StatusPanel.h"

namespace stowaway::test {
namespace {

namespace fs = std::filesystem;

// Chooses a folder in the tree as a person does, by making it the current item.
void ChooseFolder(QtProgram& p, const std::string& folder) {
    auto* tree = p.widget<QTreeView>("DirSelect");
    auto* model = qobject_cast<QFileSystemModel*>(tree->model());
    const QModelIndex index = model->index(QString::fromStdString(folder));
    ASSERT_TRUE(index.isValid()) << folder;
    tree->setCurrentIndex(index);
    ASSERT_EQ(p.app.FrmMain.DirSelect.path(), folder);
}

void ChooseFile(QtProgram& p, const std::string& name) {
    auto* files = p.widget<QListWidget>("FileSelect");
    const auto found = files->findItems(QString::fromStdString(name), Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << name;
    QTest::mouseClick(files->viewport(), Qt::LeftButton, {},
                      files->visualItemRect(found.front()).center());
}

std::string FindRestored(const std::string& folder, const std::string& name) {
    for (const auto& entry : fs::recursive_directory_iterator(toPath(folder)))
        if (fromPath(entry.path().filename()) == name) return fromPath(entry.path());
    return {};
}

std::string Status(QtProgram& p) {
    return p.widget<QLabel>("StBMainPanel")->property(StatusTextProperty).toString().toStdString();
}

TEST(QtJobs, BackupAndRestoreThroughTheButtonsWithTheRealArchiver) {
    QtProgram p;
    if (!test::CopyBuiltTools(p.dir.path()))
        GTEST_SKIP() << "the archiver and interpreter are not built";
    TempDir data;
    WriteFile(data / "docs/letter.txt", "Dear reader,\n");
    WriteFile(data / "docs/sub/notes.txt", "notes\n");
    WriteFile(data / "loose/single.txt", "one file\n");
    fs::create_directories(toPath(data / "out"));

    p.start();
    p.type("TxtAddCrate", "Docs");
    p.click("CmdAddCrate");

    ChooseFolder(p, data / "docs");
    p.click("CmdSelectDir");
    ASSERT_EQ(p.widget<QListWidget>("LstDir")->count(), 1);
    ChooseFolder(p, data / "loose");
    ChooseFile(p, "single.txt");
    p.click("CmdSelectFile");
    ASSERT_EQ(p.widget<QListWidget>("LstFile")->count(), 1);

    p.type("TxtBackupLocation", data / "out/docs.zip");
    p.type("TxtRestoreLocation", data / "restored");
    fs::create_directories(toPath(data / "restored"));

    p.click("CmdBackup");
    EXPECT_EQ(Status(p), "Backup Complete");
    EXPECT_TRUE(fs::exists(toPath(data / "out/docs.zip")));
    EXPECT_TRUE(p.ui.consoles().empty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    p.shown.clear();
    p.click("CmdRestore");  // the confirmation is answered with its default, OK
    ASSERT_FALSE(p.shown.empty());
    EXPECT_EQ(p.shown.front().title, "Confirmation of Restore");
    const std::string letter = FindRestored(data / "restored", "letter.txt");
    const std::string notes = FindRestored(data / "restored", "notes.txt");
    const std::string single = FindRestored(data / "restored", "single.txt");
    ASSERT_FALSE(letter.empty()) << Status(p);
    ASSERT_FALSE(notes.empty());
    ASSERT_FALSE(single.empty());
    EXPECT_EQ(ReadFile(letter), "Dear reader,\n");
    EXPECT_EQ(ReadFile(single), "one file\n");
    EXPECT_EQ(p.app.FrmMain.PrBMain.value(), 0);

    // With the output shown, the run gets a console window that stays afterwards.
    p.click("ChkHideOutput");
    ASSERT_EQ(p.app.FrmMain.ChkHideOutput.value(), CheckBox::Unchecked);
    p.click("CmdBackup");
    EXPECT_EQ(Status(p), "Backup Complete");
    ASSERT_EQ(p.ui.consoles().size(), 1u);
    EXPECT_TRUE(p.ui.consoles().front()->isVisible());
    EXPECT_FALSE(p.ui.consoles().front()->text().isEmpty());
    EXPECT_EQ(p.ui.consoles().front()->windowTitle().toStdString(),
              "Backup of " + p.app.store.CrateTable[0].Name + " - Stowaway");
    // The next backup reuses the window.
    p.click("CmdBackup");
    EXPECT_EQ(p.ui.consoles().size(), 1u);
}

}  // namespace
}  // namespace stowaway::test
