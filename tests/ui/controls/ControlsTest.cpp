#include "ui/controls/Controls.h"

#include <gtest/gtest.h>

namespace stowaway {
namespace {

TEST(ListBox, SortedListPlacesEntriesWithoutRegardToCase) {
    ListBox list("LstDir", true);
    list.addItem("b");
    list.addItem("C");
    EXPECT_EQ(list.addItem("a"), 0);
    EXPECT_EQ(list.addItem("B2"), 2);
    EXPECT_EQ(list.items(), (std::vector<std::string>{"a", "b", "B2", "C"}));
    ListBox unsorted("LstCrate", false);
    unsorted.addItem("b");
    unsorted.addItem("a");
    EXPECT_EQ(unsorted.items(), (std::vector<std::string>{"b", "a"}));
}

TEST(ListBox, SelectionFollowsEntriesAsTheListChanges) {
    ListBox list("LstFile", true);
    list.addItem("m");
    list.setSelected(0, true);
    list.addItem("a");  // lands before the selected entry
    EXPECT_TRUE(list.selected(1));
    EXPECT_FALSE(list.selected(0));
    EXPECT_EQ(list.selectedCount(), 1);
    list.removeItem(0);
    EXPECT_TRUE(list.selected(0));
    list.clear();
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.listIndex(), -1);
}

TEST(TextBox, ChangeHandlerRunsForCodeAndOnlyOnChange) {
    TextBox box("TxtBackupLocation", "x");
    int changes = 0;
    box.onChange = [&] {
        ++changes;
        if (box.text().empty()) box.setText("default");  // a handler may set the text again
    };
    box.setText("x");
    EXPECT_EQ(changes, 0);
    box.setText("");
    EXPECT_EQ(box.text(), "default");
    EXPECT_EQ(changes, 2);
}

TEST(CheckBox, SettingTheValueRunsTheClickBehaviour) {
    CheckBox box("ChkMultiDisk", "Multi-Disk Mode", CheckBox::Unchecked);
    std::vector<short> seen;
    box.onClick = [&] { seen.push_back(box.value()); };
    box.setValue(CheckBox::Grayed);
    box.setValue(CheckBox::Grayed);  // no change, no click
    box.click();                     // the user clears a grey box
    box.click();
    EXPECT_EQ(seen, (std::vector<short>{2, 0, 1}));
    box.setEnabled(false);
    box.click();
    EXPECT_EQ(box.value(), CheckBox::Checked);
}

TEST(ComboBox, ChoosingFromCodeRaisesTheNotificationAtOnce) {
    ComboBox combo("LstCrate");
    combo.addItem("Documents");
    combo.addItem("Mail");
    std::vector<int> seen;
    combo.onClick = [&] { seen.push_back(combo.listIndex()); };
    combo.setListIndex(1);
    combo.setListIndex(1);
    combo.setListIndex(7);  // no such entry: ignored
    EXPECT_EQ(seen, (std::vector<int>{1, 1}));
    EXPECT_EQ(combo.text(), "Mail");
    combo.clear();
    EXPECT_EQ(combo.listIndex(), -1);
    EXPECT_EQ(seen.size(), 2u);
}

TEST(Slider, ClampsAndReportsOnlyChanges) {
    Slider slider("HSlCompression", 0, 10, 5);
    int changes = 0;
    slider.onChange = [&] { ++changes; };
    slider.setValue(5);
    slider.setValue(99);
    slider.setValue(-3);
    EXPECT_EQ(slider.value(), 0);
    EXPECT_EQ(changes, 2);
}

TEST(Controls, DisabledButtonsAndMenusIgnoreClicksAndRevisionsTrackChanges) {
    Button button("CmdBackup", "");
    int clicks = 0;
    button.onClick = [&] { ++clicks; };
    button.click();
    auto before = button.revision();
    button.setEnabled(false);
    button.click();
    EXPECT_EQ(clicks, 1);
    EXPECT_GT(button.revision(), before);
    ProgressBar bar("PrBMain");
    bar.setValue(250);
    EXPECT_EQ(bar.value(), 100);
}

}  // namespace
}  // namespace stowaway
