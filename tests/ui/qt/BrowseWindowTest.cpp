// Tools > Browse and Restore Files... with its Qt widgets: versions, the folder
// tree opened by a click, search results, a file's history and the replace
// question, each saved as a screenshot.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

#include "engine/versions/ListingZip.h"
#include "ui/qt/QtHarness.h"

namespace stowaway {
namespace {

using test::QtProgram;
using test::ZipItem;

// Says every file would be replaced, the first one newer; restores nothing.
class AskingRestorer : public FileRestorer {
  public:
    std::vector<ReplacedFile> wouldReplace(const RestoreBatch& batch,
                                           const std::string& target) override {
        std::vector<ReplacedFile> files;
        for (const ListedEntry& entry : batch.entries)
            files.push_back(ReplacedFile{target + "/" + entry.name, asked++ == 0});
        return files;
    }
    RestoreReport restore(const RestoreBatch& batch, const std::string&,
                          const std::function<bool(std::size_t, std::size_t)>& progress) override {
        ++runs;
        progress(batch.entries.size(), batch.entries.size());
        return RestoreReport{true, false, batch.entries.size(), ""};
    }
    int runs = 0;
    int asked = 0;
};

struct BrowseScreen : test::ToolScreen {
    BrowseScreen() {
        p.start();
        p.type("TxtAddCrate", "Documents");
        p.click("CmdAddCrate");
        p.type("TxtBackupLocation", p.dir / "Documents.zip");
        auto owned = std::make_unique<AskingRestorer>();
        restorer = owned.get();
        p.app.fileRestorer = std::move(owned);
        const std::vector<ZipItem> older = {
            {"home/ann/Documents/report-2026.odt", std::string(48213, 'r'), 11},
            {"home/ann/Documents/letters/Dear Ann.txt", "Dear Ann,\nall well.\n", 21},
            {"home/ann/Documents/letters/old/1999.txt", std::string(5000, 'o'), 31},
            {"home/ann/Pictures/summer/beach.jpg", std::string(240311, 'p'), 41}};
        std::vector<ZipItem> newer = older;
        newer[0] = {"home/ann/Documents/report-2026.odt", std::string(51877, 'R'), 12};
        newer[1].data = "Dear Ann,\nsecond thoughts.\n";
        newer[1].crc = 22;
        newer.erase(newer.begin() + 2);
        newer.push_back({"home/ann/Documents/report-2027.odt", std::string(1200, 'n'), 51});
        test::WriteFile(p.dir / "Documents.zip", test::ItemZip(newer));
        test::WriteFile(p.dir / "Documents-2026-12-06_020000.zip", test::ItemZip(older));
        test::WriteFile(p.dir / "Documents-2026-12-05_020000.zip", test::ItemZip(older));
        test::WriteFile(p.dir / "Documents-2026-12-04_020000.zip", "PK damaged");
    }
    void open() { ToolScreen::open("MnuToolsBrowse", &QtFrontEnd::browseWindow); }
    QTreeWidgetItem* child(QTreeWidgetItem* parent, const QString& label) {
        for (int i = 0; i < parent->childCount(); ++i)
            if (parent->child(i)->text(0) == label) return parent->child(i);
        return nullptr;
    }
    // Opens a folder as a click on its arrow does, and chooses it.
    void openFolder(QTreeWidgetItem* item) {
        QTreeWidget* tree = in<QTreeWidget>("TreFolders");
        const QString label = item->text(0);
        item->setExpanded(true);  // the items are made anew once the model has the children
        QApplication::processEvents();
        const QList<QTreeWidgetItem*> found = tree->findItems(label, Qt::MatchRecursive);
        ASSERT_FALSE(found.isEmpty());
        tree->setCurrentItem(found.front());
        QApplication::processEvents();
    }

    AskingRestorer* restorer = nullptr;
};

TEST(QtBrowse, VersionsTreeAndFilesShowWithTheDamagedVersionMarked) {
    BrowseScreen s;
    s.open();
    QTableWidget* versions = s.in<QTableWidget>("TblVersions");
    ASSERT_TRUE(versions);
    ASSERT_EQ(versions->rowCount(), 4);
    EXPECT_EQ(versions->horizontalHeaderItem(4)->text(), "Check");
    EXPECT_EQ(versions->item(1, 0)->text(), "2026-12-06 02:00:00");
    EXPECT_EQ(versions->item(3, 4)->text().left(9), "damaged: ");
    EXPECT_NE(versions->item(3, 0)->background(), versions->item(1, 0)->background());
    for (const char* name : {"LblVersions", "LblFolders", "LblFiles", "LblSearch", "CmdSearch",
                             "CmdRestoreOriginal", "CmdRestoreTo", "CmdCancel", "CmdClose"})
        EXPECT_TRUE(CaptionFits(s.in(name))) << name;
    s.save("browse-versions");

    QTreeWidget* tree = s.in<QTreeWidget>("TreFolders");
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    QTreeWidgetItem* home = s.child(tree->topLevelItem(0), "home");
    ASSERT_TRUE(home);
    EXPECT_EQ(home->childCount(), 0);  // not read until opened
    s.openFolder(home);
    home = s.child(tree->topLevelItem(0), "home");
    QTreeWidgetItem* ann = home ? s.child(home, "ann") : nullptr;
    ASSERT_TRUE(ann);
    s.openFolder(ann);
    ann = s.child(s.child(tree->topLevelItem(0), "home"), "ann");
    QTreeWidgetItem* documents = ann ? s.child(ann, "Documents") : nullptr;
    ASSERT_TRUE(documents);
    s.openFolder(documents);
    EXPECT_EQ(s.p.app.FrmBrowse.TreFolders.selected(), "home/ann/Documents/");
    QTableWidget* files = s.in<QTableWidget>("TblFiles");
    ASSERT_EQ(files->rowCount(), 3);
    EXPECT_EQ(files->item(0, 0)->text(), "letters/");
    EXPECT_EQ(files->item(1, 0)->text(), "report-2026.odt");
    EXPECT_EQ(files->item(1, 1)->text(), "51,877");
    s.save("browse-tree");
}

TEST(QtBrowse, SearchResultsAFilesHistoryAndTheReplaceQuestion) {
    BrowseScreen s;
    s.open();
    QLineEdit* search = s.in<QLineEdit>("TxtSearch");
    search->setFocus();
    QTest::keyClicks(search, "report*");
    QTest::keyClick(search, Qt::Key_Return);
    QApplication::processEvents();
    QTableWidget* results = s.in<QTableWidget>("TblResults");
    ASSERT_EQ(results->rowCount(), 4);
    EXPECT_EQ(s.in<QLabel>("LblFound")->text(), "4 files found for report*.");
    s.save("browse-search");

    s.clickRow(results, 0);
    QTableWidget* history = s.in<QTableWidget>("TblHistory");
    ASSERT_EQ(history->rowCount(), 3);
    EXPECT_EQ(history->item(0, 3)->text(), "changed");
    EXPECT_EQ(history->item(1, 3)->text(), "same");
    EXPECT_EQ(history->item(2, 3)->text(), "oldest kept");
    EXPECT_EQ(s.in<QLabel>("LblHistory")->text(), "History of report-2026.odt:");
    s.save("browse-history");

    // Two found files chosen at once, then restored where they came from.
    const QRect second = results->visualItemRect(results->item(3, 0));
    QTest::mouseClick(results->viewport(), Qt::LeftButton, Qt::ControlModifier, second.center());
    QApplication::processEvents();
    QTest::mouseClick(s.in<QPushButton>("CmdRestoreOriginal"), Qt::LeftButton);
    QApplication::processEvents();
    QTableWidget* replace = s.in<QTableWidget>("TblReplace");
    ASSERT_TRUE(replace->isVisible());
    EXPECT_FALSE(results->isVisible());
    ASSERT_EQ(replace->rowCount(), 2);
    EXPECT_EQ(replace->item(0, 1)->text(), "NEWER than the archive's copy");
    EXPECT_NE(replace->item(0, 0)->background(), replace->item(1, 0)->background());
    EXPECT_TRUE(CaptionFits(s.in("CmdReplace")));
    EXPECT_TRUE(CaptionFits(s.in("CmdKeep")));
    s.save("browse-replace");

    QTest::mouseClick(s.in<QPushButton>("CmdReplace"), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_EQ(s.restorer->runs, 2);
    EXPECT_FALSE(replace->isVisible());
    EXPECT_EQ(s.in<QLabel>("LblMessage")->text(), "Restored 2 of 2 files to their original place.");
}

}  // namespace
}  // namespace stowaway
