#include "support/FakeUi.h"

namespace stowaway::test {

MsgResult FakeUi::messageBox(const std::string& text, const std::string& title, MsgButtons buttons,
                             MsgIcon icon) {
    messages.push_back({text, title, buttons, icon});
    if (answers.empty()) return buttons == MsgButtons::YesNo ? MsgResult::Yes : MsgResult::OK;
    MsgResult answer = answers.front();
    answers.pop_front();
    return answer;
}

std::string FakeUi::browseForFile(const std::string& filter, const std::string& current,
                                  FileDialogKind kind) {
    fileFilters.push_back(filter);
    fileStarts.push_back(current);
    fileKinds.push_back(kind);
    if (nextFiles.empty()) return {};
    std::string file = nextFiles.front();
    nextFiles.pop_front();
    return file;
}

std::string FakeUi::browseForFolder(const std::string& title, const std::string& current) {
    folderTitles.push_back(title);
    folderStarts.push_back(current);
    if (nextFolders.empty()) return {};
    std::string folder = nextFolders.front();
    nextFolders.pop_front();
    return folder;
}

testing::AssertionResult Shows(const FakeUi::Message& shown, const ExpectedMessage& expected) {
    if (expected.text && shown.text != *expected.text)
        return testing::AssertionFailure()
               << "text \"" << shown.text << "\" is not \"" << *expected.text << "\"";
    if (expected.title && shown.title != *expected.title)
        return testing::AssertionFailure()
               << "title \"" << shown.title << "\" is not \"" << *expected.title << "\"";
    if (expected.icon && shown.icon != *expected.icon)
        return testing::AssertionFailure()
               << "another icon (" << static_cast<int>(shown.icon) << ")";
    if (expected.buttons && shown.buttons != *expected.buttons)
        return testing::AssertionFailure()
               << "other buttons (" << static_cast<int>(shown.buttons) << ")";
    return testing::AssertionSuccess();
}

}  // namespace stowaway::test
