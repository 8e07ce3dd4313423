#include "ui/editor/SelectionEditing.h"

#include <gtest/gtest.h>

#include "ui/editor/DateCheck.h"
#include "ui/main/StartedProgram.h"

namespace stowaway {
namespace {

using test::StartedProgram;
using Names = std::vector<std::string>;

void ShowFiles(MainForm& f, const std::string& folder, Names names, std::vector<int> chosen) {
    f.FileSelect.show(folder, std::move(names));
    for (int i : chosen) f.FileSelect.setSelected(i, true);
}

TEST(DateCheck, AcceptsExactlyRealMonthDayYearDates) {
    for (const char* good : {"1/5/2025", "01/05/25", "2/29/2024", "2/29/00", "12/31/99"})
        EXPECT_TRUE(IsValidRuleDate(good)) << good;
    for (const char* bad : {"(Date)", "2/30/2024", "2/29/1900", "2/29/99", "13/1/2024", "0/1/2024",
                            "4/31/2024", "1/1/202", "1/1/5", "1-1-2024", "2024/1/1", " 1/1/2024",
                            "1/1/2024x", "1//2024", "001/1/2024", "1/1/2024/1"})
        EXPECT_FALSE(IsValidRuleDate(bad)) << bad;
}

TEST(AddSelectedFolder, BuildsOneRuleFromTheFolderOptions) {
    StartedProgram s({"Mail"});
    MainForm& f = s.f;
    EXPECT_EQ(f.TxtDateIncludeExclude.text(), "12/5/2025");  // today, in a form rules accept
    f.DirSelect.setPath("C:\\Backup");
    f.CmdSelectDir.click();
    f.CmdSelectDir.click();  // the same rule again is not listed twice
    f.ChkRecurse.setValue(CheckBox::Unchecked);
    f.MnuEditAddFolder.click();
    f.ChkDateIncludeExclude.click();
    f.ChkIncludeExclude.click();  // clears the date filter: a pattern rule
    f.TxtDirWildcard.setText("*.doc");
    f.CmdIncludeExclude.click();
    f.CmdSelectDir.click();
    f.ChkDateIncludeExclude.click();
    f.CmdDateIncludeExclude.click();
    f.ChkRecurse.setValue(CheckBox::Grayed);  // grey counts as ticked
    f.CmdSelectDir.click();
    f.DirSelect.setPath("C:\\");
    f.ChkDateIncludeExclude.click();
    f.CmdSelectDir.click();
    EXPECT_EQ(f.LstDir.items(),
              (Names{"R+ Before 12/5/2025: C:\\Backup\\*.*", "R+ C:\\*.*", "R+ C:\\Backup\\*.*",
                     "R- C:\\Backup\\*.*", "R- Exclude: C:\\Backup\\*.doc"}));
    EXPECT_TRUE(s.p.ui.messages.empty());

    f.ChkDateIncludeExclude.click();
    f.TxtDateIncludeExclude.setText("(Date)");
    f.CmdSelectDir.click();
    EXPECT_EQ(f.LstDir.count(), 5);
    ASSERT_EQ(s.p.ui.messages.size(), 1u);
    EXPECT_TRUE(
        test::Shows(s.p.ui.messages[0],
                    {.text = "(Date) is not a valid date. Please enter a valid date and try again.",
                     .title = "Invalid Date"}));
}

TEST(AddSelectedFiles, AddsTheChosenFilesInSortedPlaceSkippingListedOnes) {
    StartedProgram s({"Mail"});
    MainForm& f = s.f;
    f.LstFile.addItem("C:\\Data\\m.txt");
    ShowFiles(f, "C:\\Data", {"z.txt", "A.doc", "b.txt", "m.txt", "M.txt"}, {0, 1, 3, 4});
    f.CmdSelectFile.click();
    ShowFiles(f, "C:\\", {"R.TXT"}, {0});  // a root folder: one separator
    f.FileSelect.doubleClick();
    ShowFiles(f, "C:\\Data", {"new.txt"}, {});  // nothing chosen: nothing added
    f.MnuEditAddFile.click();
    EXPECT_EQ(f.LstFile.items(), (Names{"C:\\Data\\A.doc", "C:\\Data\\m.txt", "C:\\Data\\M.txt",
                                        "C:\\Data\\z.txt", "C:\\R.TXT"}));
    EXPECT_EQ(f.FileExtentMax, 6 * 13);
}

TEST(RemoveSelected, RemovesOnlyTheSelectedAndNeverNarrowsTheScrollRange) {
    StartedProgram s({"Mail"});
    MainForm& f = s.f;
    ShowFiles(f, "C:\\Data", {"a", "b", "a-very-long-file-name.txt", "d"}, {0, 1, 2, 3});
    f.CmdSelectFile.click();
    EXPECT_EQ(f.LstFile.horizontalExtent(), 6 * 33);
    f.LstFile.setSelected(1, true);  // the long one and "b", side by side
    f.LstFile.setSelected(2, true);
    f.CmdDeSelectFile.click();
    f.LstFile.doubleClick();  // nothing selected now
    EXPECT_EQ(f.LstFile.items(), (Names{"C:\\Data\\a", "C:\\Data\\d"}));
    EXPECT_EQ(f.LstFile.selectedCount(), 0);
    f.LstCrate.setListIndex(0);  // nor does showing the Crate again narrow it
    EXPECT_EQ(f.LstFile.horizontalExtent(), 6 * 33);

    f.LstDir.addItem("R+ C:\\a\\*.*");
    f.LstDir.addItem("R+ C:\\b\\*.*");
    f.LstDir.setSelected(0, true);
    f.LstDir.doubleClick();
    EXPECT_EQ(f.LstDir.items(), Names{"R+ C:\\b\\*.*"});
}

TEST(SelectionLimits, FullListsAndQuotedPathsAreRefusedWithAMessage) {
    StartedProgram s({"Mail"});
    MainForm& f = s.f;
    for (int i = 0; i < EntrySlots - 1; ++i) f.LstFile.addItem("C:\\f" + std::to_string(i));
    ShowFiles(f, "C:\\Data", {"a.txt", "b.txt"}, {0, 1});
    f.CmdSelectFile.click();
    EXPECT_EQ(f.LstFile.count(), EntrySlots);
    EXPECT_GE(f.LstFile.indexOf("C:\\Data\\a.txt"), 0);
    for (int i = 0; i < EntrySlots; ++i) f.LstDir.addItem("R+ C:\\d" + std::to_string(i) + "\\*.*");
    f.DirSelect.setPath("C:\\Backup");
    f.CmdSelectDir.click();
    EXPECT_EQ(f.LstDir.count(), EntrySlots);
    ASSERT_EQ(s.p.ui.messages.size(), 2u);
    EXPECT_EQ(s.p.ui.messages[1].title, "Crate Full");

    f.LstFile.clear();
    ShowFiles(f, "C:\\Data", {"say \"hi\".txt", "c.txt"}, {0, 1});
    f.CmdSelectFile.click();
    EXPECT_EQ(f.LstFile.items(), Names{"C:\\Data\\c.txt"});
    EXPECT_EQ(s.p.ui.messages.back().title, "Invalid Character");
}

}  // namespace
}  // namespace stowaway
