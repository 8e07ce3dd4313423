#pragma once

#include <string>

#include "engine/JobContext.h"

namespace stowaway {

// A file picked to read, or to write (an archive to back up into: no question
// about overwriting, since replacing it is what a backup does).
enum class FileDialogKind { Open, Save };

// What needs a person or the window system: the message boxes of the store and
// the jobs' services, and more. The Qt layer implements it for real, tests
// script it, and without a display it prints and takes the default answer.
class UiServices : public JobServices {
  public:
    // The hourglass over the window while a job runs.
    virtual void setBusyPointer(bool busy) = 0;

    // The file dialog: filter written "Description|pattern|"; it opens at the folder
    // of `current` (or its nearest existing parent). "" when cancelled.
    virtual std::string browseForFile(const std::string& filter, const std::string& current,
                                      FileDialogKind kind) = 0;
    // The folder browser with a title, opening at `current` (or its nearest existing
    // parent); "" when cancelled.
    virtual std::string browseForFolder(const std::string& title, const std::string& current) = 0;
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
    void consoleStarted(const std::string& title, const std::string& commandLine) override;
    void consoleOutput(const std::string& text) override;
};

}  // namespace stowaway
