#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "ui/controls/UiServices.h"

namespace stowaway::test {

// A scripted person: answers message boxes from a queue (OK when it runs dry),
// returns the next scripted file and folder, and records what was shown.
class FakeUi : public UiServices {
  public:
    struct Message {
        std::string text, title;
        MsgButtons buttons;
        MsgIcon icon;
    };

    MsgResult messageBox(const std::string& text, const std::string& title, MsgButtons buttons,
                         MsgIcon icon) override;
    void setBusyPointer(bool busy) override { busy_ = busy; }
    void processEvents() override { ++eventPasses; }
    std::string browseForFile(const std::string& filter, const std::string& current,
                              FileDialogKind kind) override;
    std::string browseForFolder(const std::string& title, const std::string& current) override;
    void consoleStarted(const std::string& title, const std::string& commandLine) override {
        consoleTitles.push_back(title);
        consoleCommands.push_back(commandLine);
    }
    void consoleOutput(const std::string& text) override { console += text; }
    // Answers with the next scripted password; none left: cancelled.
    bool askPassword(const std::string& prompt, const std::string& title,
                     SecretText& password) override {
        passwordPrompts.push_back(title + ": " + prompt);
        if (passwords.empty()) return false;
        const std::string next = passwords.front();
        passwords.pop_front();
        return password.assign(next);
    }

    bool busy() const { return busy_; }

    std::deque<MsgResult> answers;
    std::deque<std::string> nextFiles;
    std::deque<std::string> nextFolders;
    std::vector<Message> messages;
    std::vector<std::string> fileFilters;
    std::vector<std::string> folderTitles;
    // Where each dialog was asked to open, and how a file was to be used.
    std::vector<std::string> fileStarts, folderStarts;
    std::vector<FileDialogKind> fileKinds;
    std::vector<std::string> consoleTitles, consoleCommands;
    std::deque<std::string> passwords;
    std::vector<std::string> passwordPrompts;
    std::string console;
    long eventPasses = 0;

  private:
    bool busy_ = false;
};

// What a test expects of a message box; fields left out are not checked (each
// has its own initializer, so a designated list may leave any of them out).
struct ExpectedMessage {
    std::optional<std::string> text{}, title{};
    std::optional<MsgIcon> icon{};
    std::optional<MsgButtons> buttons{};
};
testing::AssertionResult Shows(const FakeUi::Message& shown, const ExpectedMessage& expected);

}  // namespace stowaway::test
