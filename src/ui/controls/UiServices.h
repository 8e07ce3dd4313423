#pragma once

#include <functional>
#include <string>

namespace stowaway {

enum class MsgButtons { OK, OKCancel, YesNo };
enum class MsgIcon { None, Critical, Question, Exclamation, Information };
enum class MsgResult { OK, Cancel, Yes, No };
// A file picked to read, or to write (an archive to back up into: no question
// about overwriting, since replacing it is what a backup does).
enum class FileDialogKind { Open, Save };

// What needs a person or the window system. The Qt layer implements it for real,
// tests script it, and without a display it prints and takes the default answer.
class UiServices {
  public:
    virtual ~UiServices() = default;

    // A modal message box; returns the button pressed.
    virtual MsgResult messageBox(const std::string& text, const std::string& title,
                                 MsgButtons buttons, MsgIcon icon) = 0;
    // The hourglass over the window while a job runs.
    virtual void setBusyPointer(bool busy) = 0;
    // Lets the window repaint and handle input during long work.
    virtual void processEvents() = 0;

    // The file dialog: filter written "Description|pattern|"; it opens at the folder
    // of `current` (or its nearest existing parent). "" when cancelled.
    virtual std::string browseForFile(const std::string& filter, const std::string& current,
                                      FileDialogKind kind) = 0;
    // The folder browser with a title, opening at `current` (or its nearest existing
    // parent); "" when cancelled.
    virtual std::string browseForFolder(const std::string& title, const std::string& current) = 0;

    // A console window for a program started in a normal window: opened once per
    // run with the command that was started, then fed what the program writes.
    virtual void consoleStarted(const std::string& commandLine) = 0;
    virtual void consoleOutput(const std::string& text) = 0;
    // Where the lines the user types into the newest console go while its program
    // runs (an archiver asking for the next disk); empty once it has ended.
    virtual void consoleInput(std::function<bool(const std::string&)> send) { (void)send; }
};

// Without a display: messages go to standard error, the first button is taken,
// the console output is echoed to standard error.
class HeadlessUiServices : public UiServices {
  public:
    MsgResult messageBox(const std::string& text, const std::string& title, MsgButtons buttons,
                         MsgIcon icon) override;
    void setBusyPointer(bool) override {}
    void processEvents() override {}
    std::string browseForFile(const std::string&, const std::string&, FileDialogKind) override {
        return {};
    }
    std::string browseForFolder(const std::string&, const std::string&) override { return {}; }
    void consoleStarted(const std::string& commandLine) override;
    void consoleOutput(const std::string& text) override;
};

}  // namespace stowaway
