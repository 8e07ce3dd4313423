// The browser's form model: versions, the lazy tree, files, search and a file's
// history, and restoring through a scripted restorer (the replace question,
// progress and cancel, a failure).
#include <gtest/gtest.h>

#include "engine/versions/ListingZip.h"
#include "support/SystemSupport.h"
#include "ui/browse/BrowseCommands.h"
#include "ui/main/StartedProgram.h"

namespace stowaway {
namespace {

using test::StartedProgram;
using test::ZipItem;

// Records what it is asked and answers as scripted.
class ScriptedRestorer : public FileRestorer {
  public:
    struct Call {
        std::string archive;
        std::vector<std::string> names;
        std::string target;
    };
    static std::vector<std::string> Names(const RestoreBatch& batch) {
        std::vector<std::string> names;
        for (const ListedEntry& entry : batch.entries) names.push_back(entry.name);
        return names;
    }
    std::vector<ReplacedFile> wouldReplace(const RestoreBatch& batch,
                                           const std::string& target) override {
        asked.push_back(Call{batch.version.path, Names(batch), target});
        return replaced;
    }
    RestoreReport restore(const RestoreBatch& batch, const std::string& target,
                          const std::function<bool(std::size_t, std::size_t)>& progress) override {
        restored.push_back(Call{batch.version.path, Names(batch), target});
        RestoreReport report;
        for (std::size_t i = 0; i < batch.entries.size(); ++i) {
            if (failAt && *failAt == i) {
                report.message = "\"/home/ann/b.txt\" cannot be written (read-only folder).";
                return report;
            }
            ++report.restored;
            if (onFile) onFile();
            if (!progress(i + 1, batch.entries.size())) {
                report.cancelled = true;
                return report;
            }
        }
        report.ok = true;
        return report;
    }
    std::vector<ReplacedFile> replaced;
    std::optional<std::size_t> failAt;
    std::function<void()> onFile;
    std::vector<Call> asked, restored;
};

struct BrowseRig {
    BrowseRig() : s({"Docs"}, false) {
        auto owned = std::make_unique<ScriptedRestorer>();
        restorer = owned.get();
        s.app.fileRestorer = std::move(owned);
        test::WriteFile(s.p.dir / "Docs.zip", test::ItemZip({{"home/ann/a.txt", "new a", 2},
                                                             {"home/ann/docs/r.odt", "r", 5},
                                                             {"home/ann/docs/old/q.txt", "q", 6},
                                                             {"etc/hosts", "h", 7}}));
        test::WriteFile(
            s.p.dir / "Docs-2026-12-05_020000.zip",
            test::ItemZip({{"home/ann/a.txt", "old a", 1}, {"home/ann/gone.txt", "g"}}));
        test::WriteFile(s.p.dir / "Docs-2026-12-04_020000.zip", "PK damaged");
        s.f.LstCrate.setListIndex(0);
    }
    void open() { s.f.MnuToolsBrowse.click(); }
    std::vector<std::string> column(const TableControl& table, std::size_t c) {
        std::vector<std::string> out;
        for (const TableControl::Row& row : table.rows()) out.push_back(row.cells.at(c));
        return out;
    }
    int rowOf(const TableControl& table, const std::string& first) {
        for (std::size_t r = 0; r < table.rows().size(); ++r)
            if (table.rows()[r].cells[0] == first) return static_cast<int>(r);
        return -1;
    }

    StartedProgram s;
    BrowseForm& b = s.app.FrmBrowse;
    ScriptedRestorer* restorer = nullptr;
};

TEST(BrowseDialog, TheToolsMenuOpensItOnTheShownCratesVersions) {
    STOWAWAY_NEEDS(PosixPaths);
    BrowseRig r;
    const auto menus = r.s.f.menus();
    ASSERT_GE(menus[3].items.size(), 2u);
    EXPECT_EQ(menus[3].items[1]->caption(), "&Browse and Restore Files...");
    r.open();
    EXPECT_TRUE(r.b.visible());
    EXPECT_EQ(r.b.caption(), "Browse and Restore Files - Docs");
    const std::vector<TableControl::Row>& rows = r.b.TblVersions.rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].cells[1], "Docs.zip");
    EXPECT_NE(rows[0].cells[0].find("(current)"), std::string::npos);
    EXPECT_EQ(rows[0].cells[3], "4");
    EXPECT_EQ(rows[0].cells[4], "no backup recorded");
    EXPECT_EQ(rows[1].cells[0], "2026-12-05 02:00:00");
    EXPECT_EQ(rows[1].cells[4], "passed");
    EXPECT_FALSE(rows[1].attention);
    EXPECT_EQ(rows[2].cells[1], "Docs-2026-12-04_020000.zip");
    EXPECT_EQ(rows[2].cells[4].rfind("damaged: ", 0), 0u);
    EXPECT_TRUE(rows[2].attention);
    EXPECT_EQ(r.b.TblVersions.selected(), 0);

    // The damaged one says so; the others still list.
    r.b.TblVersions.select(2);
    EXPECT_TRUE(r.b.TreFolders.roots().empty());
    EXPECT_EQ(r.b.LblMessage.caption().rfind("This version cannot be listed: damaged: ", 0), 0u);
    r.b.TblVersions.select(1);
    EXPECT_EQ(r.b.TreFolders.roots().size(), 1u);
}

TEST(BrowseDialog, FoldersOpenOnDemandAndAFoldersFilesComeWithSizesAndDates) {
    BrowseRig r;
    r.open();
    const TreeControl& tree = r.b.TreFolders;
    ASSERT_EQ(tree.roots().size(), 1u);
    const TreeControl::Node& root = tree.roots()[0];
    EXPECT_EQ(root.label, "/");
    EXPECT_TRUE(root.loaded);
    ASSERT_EQ(root.children.size(), 2u);
    EXPECT_EQ(root.children[0].label, "etc");
    EXPECT_EQ(root.children[1].key, "home/");
    // Nothing below a folder is worked out before it is opened.
    EXPECT_FALSE(root.children[1].loaded);
    EXPECT_TRUE(root.children[1].children.empty());
    r.b.TreFolders.expand("home/");
    ASSERT_EQ(tree.find("home/")->children.size(), 1u);
    r.b.TreFolders.expand("home/ann/");
    EXPECT_EQ(tree.find("home/ann/")->children[0].key, "home/ann/docs/");

    r.b.TreFolders.select("home/ann/");
    EXPECT_EQ(r.column(r.b.TblFiles, 0), (std::vector<std::string>{"docs/", "a.txt"}));
    EXPECT_EQ(r.b.TblFiles.rows()[1].cells[1], "5");
    EXPECT_EQ(r.b.TblFiles.rows()[1].cells[2], "2026-12-06 02:00:00");
    EXPECT_EQ(r.b.TblFiles.rows()[0].cells[1], "");
}

TEST(BrowseDialog, SearchFindsFilesInEveryVersionAndAFilesHistoryShowsItsChanges) {
    STOWAWAY_NEEDS(PosixPaths);
    BrowseRig r;
    r.open();
    r.b.TxtSearch.setText("A.TXT");
    r.b.CmdSearch.click();
    ASSERT_EQ(r.column(r.b.TblResults, 1),
              (std::vector<std::string>{"home/ann/a.txt", "home/ann/a.txt"}));
    EXPECT_NE(r.b.TblResults.rows()[0].cells[0].find("(current)"), std::string::npos);
    EXPECT_EQ(r.b.TblResults.rows()[1].cells[0], "2026-12-05 02:00:00");
    EXPECT_EQ(r.b.LblFound.caption(), "2 files found for *A.TXT*.");

    r.b.TblResults.select(0);
    EXPECT_EQ(r.b.LblHistory.caption(), "History of a.txt:");
    ASSERT_EQ(r.b.TblHistory.rows().size(), 2u);
    EXPECT_EQ(r.b.TblHistory.rows()[0].cells[3], "changed");
    EXPECT_TRUE(r.b.TblHistory.rows()[0].attention);
    EXPECT_EQ(r.b.TblHistory.rows()[1].cells[3], "oldest kept");

    // A file deleted since is still found in the version that holds it.
    r.b.TxtSearch.setText("gone*");
    r.b.CmdSearch.click();
    EXPECT_EQ(r.column(r.b.TblResults, 1), (std::vector<std::string>{"home/ann/gone.txt"}));
    r.b.TxtSearch.setText("nothing-like-this");
    r.b.CmdSearch.click();
    EXPECT_TRUE(r.b.TblResults.rows().empty());
    EXPECT_EQ(r.b.LblFound.caption(), "0 files found for *nothing-like-this*.");
}

TEST(BrowseDialog, AChosenFolderRestoresEveryFileUnderItToItsOriginalPlace) {
    BrowseRig r;
    r.open();
    r.b.CmdRestoreOriginal.click();
    EXPECT_TRUE(r.restorer->restored.empty());
    EXPECT_EQ(r.b.LblMessage.caption().rfind("Choose the files or folders to restore first", 0),
              0u);

    r.b.TreFolders.expand("home/");
    r.b.TreFolders.select("home/ann/");
    r.b.TblFiles.selectRows({r.rowOf(r.b.TblFiles, "docs/"), r.rowOf(r.b.TblFiles, "a.txt")});
    r.b.CmdRestoreOriginal.click();
    ASSERT_EQ(r.restorer->restored.size(), 1u);
    EXPECT_EQ(r.restorer->restored[0].archive, r.s.p.dir / "Docs.zip");
    EXPECT_EQ(r.restorer->restored[0].target, "");
    EXPECT_EQ(r.restorer->restored[0].names,
              (std::vector<std::string>{"home/ann/docs/old/q.txt", "home/ann/docs/r.odt",
                                        "home/ann/a.txt"}));
    EXPECT_EQ(r.b.LblMessage.caption(), "Restored 3 of 3 files to their original place.");
    EXPECT_EQ(r.b.PrbRestore.value(), 100);
    EXPECT_FALSE(r.b.TblReplace.visible());
}

TEST(BrowseDialog, TheReplaceQuestionListsEveryFileMarksNewerOnesAndCanBeDeclined) {
    BrowseRig r;
    r.open();
    r.restorer->replaced = {{"/home/ann/a.txt", true}, {"/home/ann/docs/r.odt", false}};
    r.b.TxtSearch.setText("a.txt");
    r.b.CmdSearch.click();
    r.b.TblResults.select(1);  // the kept version's copy
    r.b.CmdRestoreOriginal.click();
    EXPECT_TRUE(r.restorer->restored.empty());
    EXPECT_TRUE(r.b.TblReplace.visible());
    EXPECT_FALSE(r.b.TblResults.visible());
    EXPECT_EQ(r.b.LblReplace.caption(),
              "Restoring replaces 2 files on disk, 1 of them newer than the archive's copy "
              "(marked). Replace them?");
    ASSERT_EQ(r.b.TblReplace.rows().size(), 2u);
    EXPECT_TRUE(r.b.TblReplace.rows()[0].attention);
    EXPECT_FALSE(r.b.TblReplace.rows()[1].attention);
    r.b.CmdKeep.click();
    EXPECT_TRUE(r.restorer->restored.empty());
    EXPECT_FALSE(r.b.TblReplace.visible());
    EXPECT_TRUE(r.b.TblResults.visible());
    EXPECT_EQ(r.b.LblMessage.caption(), "Nothing was restored.");

    r.b.CmdRestoreOriginal.click();
    r.b.CmdReplace.click();
    ASSERT_EQ(r.restorer->restored.size(), 1u);
    EXPECT_EQ(r.restorer->restored[0].archive, r.s.p.dir / "Docs-2026-12-05_020000.zip");
    EXPECT_EQ(r.restorer->restored[0].names, (std::vector<std::string>{"home/ann/a.txt"}));
}

TEST(BrowseDialog, AHistoryRowRestoresThatVersionIntoAChosenFolder) {
    BrowseRig r;
    r.open();
    r.b.TxtSearch.setText("a.txt");
    r.b.CmdSearch.click();
    r.b.TblResults.select(0);
    r.b.TblHistory.select(1);
    r.s.p.ui.nextFolders.push_back("/tmp/out");
    r.b.CmdRestoreTo.click();
    ASSERT_EQ(r.restorer->restored.size(), 1u);
    EXPECT_EQ(r.restorer->restored[0].archive, r.s.p.dir / "Docs-2026-12-05_020000.zip");
    EXPECT_EQ(r.restorer->restored[0].target, "/tmp/out");
    EXPECT_EQ(r.b.LblMessage.caption(), "Restored 1 of 1 file into \"/tmp/out\".");
    // A cancelled folder dialog restores nothing.
    r.b.CmdRestoreTo.click();
    EXPECT_EQ(r.restorer->restored.size(), 1u);
}

TEST(BrowseDialog, CancelStopsARestoreBetweenFilesAndAFailureIsSaid) {
    BrowseRig r;
    r.open();
    r.b.TblFiles.selectRows({r.rowOf(r.b.TblFiles, "home/")});
    int files = 0;
    r.restorer->onFile = [&] {
        // While it runs, only Cancel can be used.
        EXPECT_TRUE(r.b.CmdCancel.enabled());
        EXPECT_FALSE(r.b.CmdRestoreOriginal.enabled());
        EXPECT_FALSE(r.b.CmdClose.enabled());
        if (++files == 2) r.b.CmdCancel.click();
    };
    r.b.CmdRestoreOriginal.click();
    EXPECT_EQ(files, 2);
    EXPECT_EQ(r.b.LblMessage.caption(),
              "Cancelled: 2 of 3 files restored to their original place.");
    EXPECT_FALSE(r.b.CmdCancel.enabled());
    EXPECT_TRUE(r.b.CmdRestoreOriginal.enabled());
    EXPECT_GT(r.s.p.ui.eventPasses, 0);

    r.restorer->onFile = nullptr;
    r.restorer->failAt = 1;
    r.b.CmdRestoreOriginal.click();
    EXPECT_EQ(r.b.LblMessage.caption(),
              "The restore stopped after 1 of 3 files: \"/home/ann/b.txt\" cannot be written "
              "(read-only folder).");
    ASSERT_FALSE(r.s.p.ui.messages.empty());
    EXPECT_EQ(r.s.p.ui.messages.back().title, "Browse and Restore Files");
}

TEST(BrowseDialog, WithoutAShownCrateItSaysWhatToDo) {
    StartedProgram s({}, false);
    s.f.MnuToolsBrowse.click();
    EXPECT_FALSE(s.app.FrmBrowse.visible());
    ASSERT_EQ(s.p.ui.messages.size(), 1u);
    EXPECT_EQ(s.p.ui.messages[0].text, "Choose the Crate whose backups you want to browse first.");
}

}  // namespace
}  // namespace stowaway
